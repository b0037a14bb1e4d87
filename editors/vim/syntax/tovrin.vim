" Vim syntax file
" Language:   Tovrin
" Filenames:  *.tvr
"
" Keywords are lower case only; If and Byte are names. Comments run from // to
" the end of the line (there are no block comments); strings have no escapes
" and end at the closing quote or the end of the line.

if exists("b:current_syntax")
  finish
endif

syn case match

syn keyword tovrinStructure   def define
syn keyword tovrinDeclaration const constant range rule do as use
syn keyword tovrinConditional if elseif else
syn keyword tovrinRepeat      while
syn keyword tovrinStatement   out outch weight clear
syn keyword tovrinType        byte integer real fuzzy memory interrupt
syn keyword tovrinOperatorWord and or xor not min max is

" Every operator and delimiter the compiler knows; . and ? are always errors
" outside a number. \V keeps each alternative literal.
syn match tovrinError     "\V.\|?"
syn match tovrinOperator  "\V==\|<>\|<=\|>=\|<<\|>>\|<\|>\|+\|-\|*\|/\|%\|&\||\|^\|~\|@\|=\|:"
syn match tovrinDelimiter "\V(\|)\|[\|]\|{\|}\|,\|;"

" After the error match, so that a number beginning with a point wins.
syn match tovrinNumber    "\<\d\+\>"
syn match tovrinNumber    "\<0x\x\{2,4}"
syn match tovrinFloat     "\d*\.\d\+"
syn match tovrinCharacter "'[^\n]'"
syn match tovrinString    +"[^"]*\("\|$\)+
syn keyword tovrinTodo    contained TODO FIXME XXX
syn match tovrinComment   "//.*$" contains=tovrinTodo,@Spell

hi def link tovrinStructure    Structure
hi def link tovrinDeclaration  Keyword
hi def link tovrinConditional  Conditional
hi def link tovrinRepeat       Repeat
hi def link tovrinStatement    Statement
hi def link tovrinType         Type
hi def link tovrinOperatorWord Operator
hi def link tovrinOperator     Operator
hi def link tovrinDelimiter    Delimiter
hi def link tovrinError        Error
hi def link tovrinNumber       Number
hi def link tovrinFloat        Float
hi def link tovrinCharacter    Character
hi def link tovrinString       String
hi def link tovrinTodo         Todo
hi def link tovrinComment      Comment

let b:current_syntax = "tovrin"
