# Completion of orvanthe-cli: verbs, the actions of "tables", options, kinds and files.
_orvanthe_cli() {
    local cur prev verb
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    verb=${COMP_WORDS[1]}
    case $prev in
        --database|--pdf)
            COMPREPLY=($(compgen -f -- "$cur"))
            return ;;
        --seed|--count)
            return ;;
    esac
    if [ "$COMP_CWORD" -eq 1 ]; then
        COMPREPLY=($(compgen -W "init draw generate print tables copy-database help --help --version" -- "$cur"))
        return
    fi
    local options="--database --help"
    case $verb in
        init) options="--database --help" ;;
        draw) options="--database --seed --count --json --help" ;;
        generate) options="--database --seed --count --no-store --json --help" ;;
        print) options="--pdf --no-stamp --database --help" ;;
        copy-database) options="--replace --help" ;;
        help) COMPREPLY=($(compgen -W "init draw generate print tables copy-database" -- "$cur")); return ;;
        tables)
            if [ "$COMP_CWORD" -eq 2 ]; then
                COMPREPLY=($(compgen -W "export import check list show --help" -- "$cur"))
                return
            fi
            [ "${COMP_WORDS[2]}" = import ] && options="--database --replace --skip-existing --help"
            ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [ "$verb" = generate ] || [ "$verb" = print ]; then
        COMPREPLY=($(compgen -W "perso tresor rencontre village" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -o filenames -F _orvanthe_cli orvanthe-cli
