# bash completion for tessera: its options and record-set files.
_tessera() {
    local cur prev words cword
    _init_completion || return
    case $prev in
        --lang) COMPREPLY=($(compgen -W 'ja en' -- "$cur")); return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--demo --lang --help --version' -- "$cur"))
        return
    fi
    _filedir tsr
}
complete -F _tessera tessera
