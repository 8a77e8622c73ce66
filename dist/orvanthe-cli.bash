# Completion of orvanthe-cli. The tool itself says what may follow the words already typed
# (verbs, actions, options, kinds), from the declarations of its verbs; "@fichier" asks for
# file names.
_orvanthe_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local words
    words=$("${COMP_WORDS[0]}" __complete "${COMP_WORDS[@]:1:COMP_CWORD-1}" 2>/dev/null) || return
    COMPREPLY=()
    local word
    for word in $words; do
        [ "$word" = @fichier ] && continue
        [[ $word == "$cur"* ]] && COMPREPLY+=("$word")
    done
    if [[ $'\n'$words$'\n' == *$'\n'@fichier$'\n'* ]] && [[ $cur != -* ]]; then
        COMPREPLY+=($(compgen -f -- "$cur"))
    fi
}
complete -o filenames -F _orvanthe_cli orvanthe-cli
