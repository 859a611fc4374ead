" Vim compiler file for kestrelc, Kestrel's command-line compiler.
" :make compiles the file in the window to NAME.out.EXT beside it; arguments given to :make
" (:make --rem, :make -I lib) come before the source.

if exists('current_compiler')
  finish
endif
let current_compiler = 'kestrelc'

if exists(':CompilerSet') != 2
  command -nargs=* CompilerSet setlocal <args>
endif

let s:cpo_save = &cpo
set cpo&vim

CompilerSet makeprg=kestrelc\ -q\ -o\ %:r:S.out.%:e:S\ $*\ --\ %:S
" FILE:LINE:COLUMN: error: TEXT, and a note that may follow it as an entry of its own; a problem
" without a place (kestrelc: error: TEXT) is listed too. Other lines, such as the rest of an
" excerpt that spans lines, are left out.
CompilerSet errorformat=%f:%l:%c:\ %trror:\ %m,
                       \%f:%l:%c:\ %tarning:\ %m,
                       \%f:%l:%c:\ %tote:\ %m,
                       \kestrelc:\ %trror:\ %m,
                       \%-G%.%#

let &cpo = s:cpo_save
unlet s:cpo_save
