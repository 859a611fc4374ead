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

let b:undo_ftplugin = 'setlocal iskeyword< commentstring< comments< makeprg< errorformat<'
      \ . ' | unlet! b:current_compiler'
