" Tovrin source files
autocmd BufNewFile,BufRead *.tvr setfiletype tovrin
