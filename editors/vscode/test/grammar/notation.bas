' SYNTAX TEST "source.kestrel" "the loader's and the compile pass's classes of lines"
#include LIB.BAS
' <-------- keyword.control.directive.include.kestrel
'        ^^^^^^^^ string.unquoted.include-name.kestrel
 #include LIB.BAS
' ^^^^^^^^^^^^^^^^ - meta.preprocessor.include.kestrel
	#include LIB.BAS
' ^^^^^^^^^^^^^^^^ - meta.preprocessor.include.kestrel
#includeLIB.BAS
'       ^^^^^^^ string.unquoted.include-name.kestrel
#INCLUDE LIB.BAS
' <---------------- - meta.preprocessor.include.kestrel
#define VOLT EQU A
' <------- keyword.control.directive.define.kestrel
'       ^^^^^ entity.name.constant.kestrel
'            ^^^ keyword.operator.equ.kestrel
'               ^^ string.unquoted.define-value.kestrel
   #define end_volt EQU b
'  ^^^^^^^ keyword.control.directive.define.kestrel
#define SEQUENCE EQU 5
'       ^ entity.name.constant.kestrel
'        ^^^ keyword.operator.equ.kestrel
'           ^^^^^^^^^^ string.unquoted.define-value.kestrel
#define EQUAL EQU 1
'       ^^^^^ entity.name.constant.kestrel
'             ^^^ keyword.operator.equ.kestrel
#define X 5
' <----------- invalid.illegal.define.kestrel
PRINT "#define"
' <--------------- comment.line.dropped.kestrel
	#define T EQU 1
' ^^^^^^^^^^^^^^ comment.line.dropped.kestrel - meta.preprocessor.define.kestrel
#include A#define
' <------------------ meta.preprocessor.include.kestrel - comment.line.dropped.kestrel
[METKA_01]
' <---------- entity.name.label.kestrel
   [A]  
'  ^^^ entity.name.label.kestrel
'     ^^ - entity.name.label.kestrel
[LOOP] REM start
' <---------------- entity.name.label.kestrel
[
' <- entity.name.label.kestrel
REM a comment
' <------------- comment.line.rem.kestrel
     REM x
'    ^^^^^ comment.line.rem.kestrel
REMARK
' <------ comment.line.rem.kestrel
	REM x
' ^^^^ - comment.line.rem.kestrel
rem x
' <----- - comment.line.rem.kestrel
100
' <--- constant.numeric.line-number.kestrel
10 PRINT X
' <--- constant.numeric.line-number.kestrel
'  ^^^^^^^ comment.line.ignored.kestrel
05
' <-- constant.numeric.line-number.kestrel
5 
' <- constant.numeric.line-number.kestrel
5
' <- - meta.line-number.kestrel
 5
'^ - meta.line-number.kestrel
1E3
' <--- constant.numeric.line-number.kestrel
GOTO [METKA_01]
'    ^^^^^^^^^^ variable.other.label.kestrel
' <---- - variable.other.label.kestrel
IF VOLT=1 THEN GOSUB [A]:PRINT [B]
'                    ^^^ variable.other.label.kestrel
'                              ^^^ variable.other.label.kestrel
PRINT "[X]"
'     ^ punctuation.definition.string.begin.kestrel
'      ^^^ string.quoted.double.kestrel variable.other.label.kestrel
'         ^ punctuation.definition.string.end.kestrel
PRINT "[" : GOTO [A]
'      ^ string.quoted.double.kestrel invalid.illegal.unclosed-label.kestrel
'       ^ punctuation.definition.string.end.kestrel
'           ^^^^ - string.quoted.double.kestrel
'                ^^^ variable.other.label.kestrel - string.quoted.double.kestrel
PRINT "open
'     ^^^^^ string.quoted.double.kestrel
GOTO [A
'    ^ invalid.illegal.unclosed-label.kestrel
