#!/usr/bin/env zsh
# Usage: zsh_complete.zsh "COMMAND LINE" [FPATH_DIR]
# Prints, one per line, the candidates an interactive zsh offers when Tab is pressed at the
# end of COMMAND LINE (completion functions searched in FPATH_DIR first, then zsh's own
# path). The line itself is never run.
zmodload zsh/zpty || exit 1
zpty shell zsh -f -i
zpty -w shell "fpath=(${2:+'$2'} \$fpath); autoload -Uz compinit; compinit -u -D; PROMPT=''"
# Every candidate the completion adds is printed as well, marked so the echo of this very
# definition cannot be mistaken for one.
zpty -w shell 'compadd() { builtin compadd -O hits "$@"; (( $#hits )) && print -l -- "${hits[@]}" | sed "s/^/CANDI""DATE:/"; builtin compadd "$@"; }'
zpty -w shell 'complete-and-mark() { zle complete-word; zle -I; print -r -- "COMPLETION""-DONE"; }; zle -N complete-and-mark; bindkey "^X" complete-and-mark'
# No newline: the line is completed, not entered.
zpty -n -w shell "$1"$'\C-x'
zpty -r shell output '*COMPLETION-DONE*'
zpty -d shell
print -r -- "$output" | tr -d '\r' | grep -o 'CANDIDATE:[^[:space:]]*' | cut -d: -f2- | sort -u
