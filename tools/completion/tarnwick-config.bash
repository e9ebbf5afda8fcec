# bash completion for tarnwick-config: commands, their options, format names and file names.
# Needs nothing of the bash-completion package, so it also works when sourced by hand.

_tarnwick_config() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local command="" word i
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    case $word in check | dump | schema | lsp) command=$word && break ;; esac
  done

  case $command:$prev in
    check:--format)
      mapfile -t COMPREPLY < <(compgen -W "json text sarif github" -- "$cur")
      return ;;
    dump:--format)
      mapfile -t COMPREPLY < <(compgen -W "json yaml" -- "$cur")
      return ;;
    schema:-o | schema:--output)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      return ;;
  esac

  local options
  case $command in
    "") options="--help --version" ;;
    check) options="--discovery-only --format --strict --quiet --help" ;;
    dump) options="--discovery-only --format --strict --help" ;;
    schema) options="--output --help" ;;
    lsp) options="--stdio --help" ;;
  esac
  if [[ -z $command && $cur != -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "check dump schema lsp" -- "$cur")
  elif [[ $cur == -* || $command == schema || $command == lsp ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
  else
    # Documents: YAML files and directories to walk into.
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -d -- "$cur"
                             compgen -f -X '!*.yaml' -- "$cur"
                             compgen -f -X '!*.yml' -- "$cur")
  fi
}

complete -F _tarnwick_config tarnwick-config
