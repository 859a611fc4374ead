" Kestrel sources share .bas with other BASIC dialects, so a .bas file becomes a Kestrel file only
" when one of its first lines uses the notation (an include at the very start of a line, a
" definition, a label line), or always when g:kestrel_all_bas is set.
function! s:KestrelDetect() abort
  if get(g:, 'kestrel_all_bas', 0)
    set filetype=kestrel
    return
  endif
  for line in getline(1, 50)
    if line =~# '^#include\|^ *#define..\{-1,}EQU\|^ *\['
      set filetype=kestrel
      return
    endif
  endfor
endfunction

" Kestrel's files are Windows-1251: a .bas file that is not UTF-8 is read as that, not as Latin-1.
function! s:KestrelReadPre() abort
  let s:encodings = &fileencodings
  set fileencodings=ucs-bom,utf-8,cp1251
endfunction

function! s:KestrelReadPost() abort
  if exists('s:encodings')
    let &fileencodings = s:encodings
    unlet s:encodings
  endif
endfunction

augroup kestrel_ftdetect
  autocmd!
  autocmd BufReadPre *.bas,*.BAS call s:KestrelReadPre()
  autocmd BufReadPost *.bas,*.BAS call s:KestrelReadPost()
  autocmd BufRead,BufNewFile *.bas,*.BAS call s:KestrelDetect()
augroup END
