" Vim filetype plugin for Kestrel sources.

if exists('b:did_ftplugin')
  finish
endif
let b:did_ftplugin = 1

" Names of the notation: letters (Cyrillic ones too), digits, _ and @.
setlocal iskeyword=@,48-57,_,@-@
setlocal commentstring=REM\ %s
setlocal comments=:REM
compiler kestrelc

" Kestrel reads Windows-1251 with CR LF line ends (a lone LF ends no line): a new file is written so.
if !filereadable(expand('%:p'))
  setlocal fileencoding=cp1251 fileformat=dos
endif

let b:undo_ftplugin = 'setlocal iskeyword< commentstring< comments< makeprg< errorformat<'
      \ . ' fileencoding< fileformat<'
      \ . ' | unlet! b:current_compiler'
