# bash completion for zelvora-auditor-cli                                  -*- shell-script -*-
# The options come from the command's own --help, so they never fall behind it.

_zelvora_auditor_cli()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        -d | --zelvora-dir | -s | --save)
            _filedir -d
            return
            ;;
        -l | --roms-list | --table)
            _filedir
            return
            ;;
        -f | --format)
            COMPREPLY=($(compgen -W 'text json' -- "$cur"))
            return
            ;;
        --rename)
            COMPREPLY=($(compgen -W 'all case-and-separators forbidden-characters accents roman-numerals article download-copy double-extension dotted-name typo' -- "$cur"))
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '$(_parse_help "$1")' -- "$cur"))
        return
    fi

    # undo takes one journal, and nothing else.
    if [[ ${words[1]-} == undo ]]; then
        ((cword == 2)) && _filedir
        return
    fi

    # One audit per command; the value of an option is not one.
    local i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            -d | --zelvora-dir | -s | --save | -l | --roms-list | -f | --format | --table | --rename) ((i++)) ;;
            roms | videos | all) return ;;
        esac
    done
    if ((cword == 1)); then
        COMPREPLY=($(compgen -W 'roms videos all undo' -- "$cur"))
    else
        COMPREPLY=($(compgen -W 'roms videos all' -- "$cur"))
    fi
} &&
    complete -F _zelvora_auditor_cli zelvora-auditor-cli

# ex: filetype=sh
