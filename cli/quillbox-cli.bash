# bash completion for quillbox-cli: its commands, each command's options, files where a file goes, and the names of
# the correspondents (as `quillbox-cli recipients` prints them, from the data directory the line names).

# Prints the names of the correspondents; $1 is the program as typed.
_quillbox_cli_names()
{
    local -a data=()
    local i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        -d | --data)
            # "--data=DIR" reaches completion as three words.
            if [[ ${COMP_WORDS[i + 1]} == = ]]; then i=$((i + 1)); fi
            data=(--data "${COMP_WORDS[i + 1]/#\~\//$HOME/}")
            ;;
        esac
    done
    "$1" "${data[@]}" recipients 2>/dev/null
}

# Replies with the names that begin with $2, quoted for the command line.
_quillbox_cli_reply_names()
{
    local name typed=${2//\\/}
    while IFS= read -r name; do
        if [[ -n $name && $name == "$typed"* ]]; then COMPREPLY+=("$(printf '%q' "$name")"); fi
    done < <(_quillbox_cli_names "$1")
}

_quillbox_cli_reply_files()
{
    compopt -o filenames 2>/dev/null || :
    local IFS=$'\n'
    COMPREPLY=($(compgen "$1" -- "$2"))
}

_quillbox_cli()
{
    COMPREPLY=()
    local cur=${COMP_WORDS[COMP_CWORD]} option=${COMP_WORDS[COMP_CWORD - 1]}
    # The value of an option, given after it or after its "=".
    if [[ $cur == = ]]; then
        cur=
    elif [[ $option == = ]]; then
        option=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    case $option in
    -r | --recipient)
        _quillbox_cli_reply_names "$1" "$cur"
        return
        ;;
    -o | --output)
        _quillbox_cli_reply_files -f "$cur"
        return
        ;;
    -d | --data)
        _quillbox_cli_reply_files -d "$cur"
        return
        ;;
    esac

    # The command, and how many operands follow it before the word completed.
    local command= operands=0 i word
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
        -r | --recipient | -o | --output | -d | --data)
            i=$((i + 1))
            if [[ ${COMP_WORDS[i]} == = ]]; then i=$((i + 1)); fi
            ;;
        -*) ;;
        *)
            if [[ -z $command ]]; then
                command=$word
            else
                operands=$((operands + 1))
            fi
            ;;
        esac
    done

    local options
    case $command in
    '') options='--data --help --version' ;;
    encrypt) options='--recipient --strong --classic --armor --text --output --data' ;;
    decrypt) options='--recipient --classic --armor --text --output --data' ;;
    cipher) options='--new-key --data' ;;
    recipients) options='--long --data' ;;
    add) options='--force --data' ;;
    export) options='--output --data' ;;
    *) options='--data' ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    case $command:$operands in
    :*) COMPREPLY=($(compgen -W 'encrypt decrypt recipients add import fingerprint export cipher programs' -- "$cur")) ;;
    encrypt:0 | decrypt:0 | import:1) _quillbox_cli_reply_files -f "$cur" ;;
    fingerprint:0 | export:0 | cipher:0) _quillbox_cli_reply_names "$1" "$cur" ;;
    cipher:1) COMPREPLY=($(compgen -W 'strong classic' -- "$cur")) ;;
    esac
    return 0
}

complete -F _quillbox_cli quillbox-cli
