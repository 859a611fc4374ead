" Driven by vim_make_test.sh in the folder of its sources. Every failed check is written to
" errors.txt; Neovim then quits with a non-zero status.
filetype plugin on
syntax on
set nomore shortmess+=F

" The valid entries as [file name, line, column, type, text]; bufname(0) would be the alternate
" file, so an entry without a file gets an empty name.
function! s:QuickfixEntries() abort
  return map(filter(getqflist(), 'v:val.valid'), '[v:val.bufnr ? fnamemodify(bufname(v:val.bufnr), ":t") : "",'
        \ . ' v:val.lnum, v:val.col, v:val.type, v:val.text]')
endfunction

" An error in an include file: the list and the cursor go to the include's line and column.
edit MAIN.BAS
call assert_equal('kestrel', &filetype, 'MAIN.BAS is a Kestrel file')
call assert_equal('kestrelc', get(b:, 'current_compiler', ''), 'the compiler is set')
call assert_equal('cp1251', &fileencoding, 'read as Windows-1251')
call assert_equal('REM Пуск', getline(4))
silent make
call assert_equal([['PINS.BAS', 2, 3, 'e', 'Ошибка номера строки!3000']], s:QuickfixEntries())
call assert_equal(['PINS.BAS', 2, 3], [expand('%:t'), line('.'), col('.')], 'where :make jumps')
call assert_false(filereadable('MAIN.out.BAS'), 'no output after an error')

" A label left over: the message, and the output's excerpt on a line of its own, its line breaks
" shown as ⏎.
edit LABELS.BAS
call assert_equal('kestrel', &filetype, 'a label line makes a Kestrel file')
silent make
call assert_equal([['LABELS.BAS', 3, 6, 'e', 'Ошибка - есть неуказанные метки '],
      \ ['LABELS.BAS', 3, 6, 'e', ' PRINT 1⏎0001 GOTO [B]⏎']], s:QuickfixEntries())

" A clean compile: an empty list, and the output beside the source.
edit GOOD.BAS
silent make
call assert_equal([], s:QuickfixEntries())
call assert_equal(["0000 PRINT 13\r", ''], readfile('GOOD.out.BAS', 'b'))

"" Notes, and problems that name no place (read with the buffer's errorformat, as :make reads).
call setqflist([], ' ', {'efm': &l:errorformat, 'lines': [
      \ '/p/MAIN.BAS:3:1: error: Ошибка - Дубликаты меток![A]',
      \ '/p/PINS.BAS:7:1: note: [A] is also here',
      \ 'kestrelc: error: Error#53  /p/MAIN.BAS: File not found',
      \ 'COMPILE OK']})
call assert_equal([['MAIN.BAS', 3, 1, 'e', 'Ошибка - Дубликаты меток![A]'],
      \ ['PINS.BAS', 7, 1, 'n', '[A] is also here'],
      \ ['', 0, 0, 'e', 'Error#53  /p/MAIN.BAS: File not found']], s:QuickfixEntries())

" Other dialects keep their .bas files, unless every .bas file is asked for.
edit OTHER.bas
call assert_notequal('kestrel', &filetype, 'a .bas file without the notation')
let g:kestrel_all_bas = 1
edit! OTHER.bas
call assert_equal('kestrel', &filetype, 'g:kestrel_all_bas')
" A new file is written as Kestrel reads it: Windows-1251, CR LF.
edit NEW.bas
call setline(1, 'REM Пуск')
write
call assert_equal(["REM \xcf\xf3\xf1\xea\r", ''], readfile('NEW.bas', 'b'))
unlet g:kestrel_all_bas

" Syntax groups on the lines the compile pass treats specially: [line, column, group].
enew
setfiletype kestrel
call setline(1, ['#include LIB.BAS', ' #include LIB.BAS', '#define SEQUENCE EQU 5',
      \ '#define X 5', 'PRINT "#define"', '   [A]  ', '[', "\tREM x", '     REM x',
      \ '5', '05', '5 ', '10 PRINT X', 'PRINT "[" : GOTO [A]', 'PRINT "[X]"'])
let s:expected = [
      \ [1, 1, 'kestrelIncludeKeyword'], [1, 10, 'kestrelIncludeName'],
      \ [2, 2, ''],
      \ [3, 9, 'kestrelDefineName'], [3, 10, 'kestrelEqu'], [3, 13, 'kestrelDefineValue'],
      \ [4, 1, 'kestrelBadDefinition'],
      \ [5, 8, 'kestrelDropped'],
      \ [6, 4, 'kestrelLabel'], [6, 7, ''],
      \ [7, 1, 'kestrelLabel'],
      \ [8, 2, ''], [9, 6, 'kestrelComment'],
      \ [10, 1, ''], [11, 1, 'kestrelLineNumber'], [12, 1, 'kestrelLineNumber'],
      \ [13, 1, 'kestrelLineNumber'], [13, 4, 'kestrelIgnored'],
      \ [14, 8, 'kestrelUnclosedLabel'], [14, 9, 'kestrelString'], [14, 13, ''],
      \ [14, 18, 'kestrelLabelReference'],
      \ [15, 8, 'kestrelLabelReference'], [15, 11, 'kestrelString']]
for [s:line, s:column, s:group] in s:expected
  call assert_equal(s:group, synIDattr(synID(s:line, s:column, 1), 'name'),
        \ printf('line %d column %d: %s', s:line, s:column, getline(s:line)))
endfor

if !empty(v:errors)
  call writefile(v:errors, 'errors.txt')
  cquit 1
endif
qall!
