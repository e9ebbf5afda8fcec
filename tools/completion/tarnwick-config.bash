# bash completion for tarnwick-config: commands, their options, option values, file names and
# explain's key paths.
# Needs nothing of the bash-completion package, so it also works when sourced by hand.

# File names under the current word, for an option that writes or reads a file.
_tarnwick_config_files() {
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$1")
}

_tarnwick_config() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local commands="check dump schema explain diff lsp help" command="" word i
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    case " $commands " in *" $word "*) command=$word && break ;; esac
  done
  # bash splits "--color=al" at '=' (COMP_WORDBREAKS): the option is then two words back, and a
  # value of --report (json=FILE) splits the same way.
  local option=$prev value=$cur
  if [[ $prev == "=" ]]; then
    option=${COMP_WORDS[COMP_CWORD - 2]}
    if [[ ${COMP_WORDS[COMP_CWORD - 3]} == --report ]]; then
      _tarnwick_config_files "$cur"
      return
    fi
  elif [[ $cur == --*=* ]]; then  # one word, as when '=' is no word break
    option=${cur%%=*} value=${cur#*=}
  fi
  local prefix=${cur%"$value"} values=""

  case $command:$option in
    check:--format) values="json text sarif github concise" ;;
    check:--color) values="auto always never" ;;
    dump:--format) values="json yaml" ;;
    explain:--format) values="text json markdown paths" ;;
    check:--ignore | dump:--ignore)
      values="duplicate-vpc-id duplicate-account-id duplicate-region account-id-digits bare-address truthy" ;;
    check:--enable | dump:--enable) values="truthy" ;;
    diff:--format) values="text json markdown github" ;;
    check:--report)
      if [[ $value == *=* ]]; then  # FORMAT=FILE: the file
        _tarnwick_config_files "${value#*=}"
        local format=${value%%=*}=
        COMPREPLY=("${COMPREPLY[@]/#/$prefix$format}")
      else
        compopt -o nospace 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -P "$prefix" -S = -W "json text sarif github concise" \
                                   -- "$value")
      fi
      return ;;
    schema:-o | schema:--output | explain:-o | explain:--output)
      _tarnwick_config_files "$value"
      return ;;
  esac
  if [[ -n $values ]]; then
    mapfile -t COMPREPLY < <(compgen -P "$prefix" -W "$values" -- "$value")
    return
  fi

  local options
  case $command in
    "") options="--help --help-all --version" ;;
    check)
      options="--discovery-only --format --color --report --strict --ignore --enable --quiet --fix"
      options+=" --unsafe-fixes --diff --help"
      ;;
    dump) options="--discovery-only --format --strict --ignore --enable --help" ;;
    schema) options="--output --help" ;;
    explain) options="--recursive --format --output --help" ;;
    diff) options="--discovery-only --format --help" ;;
    lsp) options="--stdio --help" ;;
    help) options="--help" ;;
  esac
  if [[ -z $command && $cur != -* ]] || [[ $command == help && $cur != -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
  elif [[ $cur == -* || $command == schema || $command == lsp ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
  elif [[ $command == explain ]]; then
    # The key paths, from the tool being completed (nothing when it cannot be run).
    mapfile -t COMPREPLY < <(compgen -W "$("${COMP_WORDS[0]}" explain --recursive --format paths \
                                            2>/dev/null)" -- "$cur")
  else
    # Documents: YAML files and folders (check walks a folder for its documents).
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -d -- "$cur"
                             compgen -f -X '!*.yaml' -- "$cur"
                             compgen -f -X '!*.yml' -- "$cur")
  fi
}

complete -F _tarnwick_config tarnwick-config
