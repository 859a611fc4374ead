" Vim syntax file for Kestrel sources: BASIC with labels, definitions and include files.
" Each line is one of the loader's and the compile pass's classes, in their order: an include at
" the very start of the line, a definition, any other line holding #define (the pass drops it),
" then on the line without its leading blanks (blanks only, never tabs) a label, a REM comment,
" a line-number line of at least two characters; anything else is a numbered line, in which
" strings and label references are marked. Of items that start at the same place, the one
" defined last wins, so the general ones come first.

if exists('b:current_syntax')
  finish
endif

" A numbered line: references are replaced inside strings too, and a [ left there is reported.
syn match kestrelUnclosedLabel /\[/
syn match kestrelLabelReference /\[[^\]"]*\]/
syn region kestrelString start=/"/ end=/"\|$/ oneline contains=kestrelUnclosedLabel,kestrelLabelReference

" The number is read as the pass reads it (blanks and tabs between digits, a point, an exponent);
" the rest of the line is dropped.
syn match kestrelLineNumber /^ *\zs\d\%(.\)\@=[0-9 \t]*\%(\.[0-9 \t]*\)\=\%([EeDd][+-]\=\d\+\)\=/ nextgroup=kestrelIgnored
syn match kestrelIgnored /.*/ contained

syn match kestrelComment /^ *\zsREM.*/
syn match kestrelLabel /^ *\zs\[.\{-}\ze *$/
syn match kestrelDropped /^.*#define.*$/

" Loading reports a #define line without EQU at its tenth character or later, and leaves it out.
syn match kestrelBadDefinition /^ *#define.*$/
syn match kestrelDefinition /^ *#define..\{-1,}EQU.*$/ contains=kestrelDefineKeyword
syn match kestrelDefineKeyword /#define/ contained nextgroup=kestrelDefineName
syn match kestrelDefineName /..\{-1,}\zeEQU/ contained nextgroup=kestrelEqu
syn match kestrelEqu /EQU/ contained nextgroup=kestrelDefineValue
syn match kestrelDefineValue /.*/ contained

syn match kestrelIncludeKeyword /^#include/ nextgroup=kestrelIncludeName
syn match kestrelIncludeName /.*/ contained

hi def link kestrelUnclosedLabel Error
hi def link kestrelLabelReference Identifier
hi def link kestrelString String
hi def link kestrelLineNumber Number
hi def link kestrelIgnored Comment
hi def link kestrelComment Comment
hi def link kestrelLabel Label
hi def link kestrelDropped Comment
hi def link kestrelBadDefinition Error
hi def link kestrelDefineKeyword Define
hi def link kestrelDefineName Constant
hi def link kestrelEqu Operator
hi def link kestrelDefineValue String
hi def link kestrelIncludeKeyword Include
hi def link kestrelIncludeName String

let b:current_syntax = 'kestrel'
