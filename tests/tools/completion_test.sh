#!/usr/bin/env bash
# The bash completion script, sourced into a bare shell: registered for the tool, and what it
# offers for each position. Usage: completion_test.sh tarnwick-config.bash TOOL (the built tool,
# which offers explain's key paths)
set -uo pipefail
source "$1" || exit 1
PATH="$(cd "$(dirname "$2")" && pwd):$PATH"
cd "$(dirname "$0")/../../examples" || exit 1

[[ $(complete -p tarnwick-config) == "complete -F _tarnwick_config tarnwick-config" ]] || {
  echo "not registered: $(complete -p tarnwick-config 2>&1)"
  exit 1
}

failed=0
# Each case: the words typed (the last one is being completed) | what must be offered.
while IFS='|' read -r typed expected; do
  read -ra COMP_WORDS <<<"tarnwick-config $typed"
  [[ $typed == *" " || -z $typed ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _tarnwick_config
  if [[ "${COMPREPLY[*]}" != "$expected" ]]; then
    echo "'tarnwick-config $typed': expected '$expected', got '${COMPREPLY[*]}'"
    failed=1
  fi
done <<'CASES'
|check dump schema explain diff lsp help
l|lsp
h|help
help |check dump schema explain diff lsp help
help e|explain
explain -|--recursive --format --output --help
explain --format |text json markdown paths
explain --format=m|--format=markdown
explain -o ../exa|../examples
explain account_info.regions.vpcs.crvn|account_info.regions.vpcs.crvn_cidr account_info.regions.vpcs.crvn_cidrs
explain --recursive aws.s|aws.s3 aws.s3.account aws.s3.role_name aws.s3.name aws.s3.region
help s|schema
lsp |--stdio --help
d|dump diff
di|diff
diff -|--discovery-only --format --help
diff --format |text json markdown github
diff --format=j|--format=json
diff full.yaml disc|discovery_minimal.yaml
--v|--version
--help-|--help-all
check --format |json text sarif github concise
check --format c|concise
check --format=c|--format=concise
check --color |auto always never
check --color=n|--color=never
check --color = al|always
check --c|--color
check --r|--report
check --report |json= text= sarif= github= concise=
check --report s|sarif=
check --report=j|--report=json=
check --report json=fu|json=full.yaml
check --report=sarif=inv|--report=sarif=invalid.yaml
check --report json = fu|full.yaml
check --quiet --report text=x ex|
check --quiet --report text=x ../exa|../examples
check --strict --format s|sarif
dump --format |json yaml
check --ignore d|duplicate-vpc-id duplicate-account-id duplicate-region
check --ignore=b|--ignore=bare-address
dump --enable |truthy
check --i|--ignore
dump --e|--enable
dump --f|--format
check --q|--quiet
schema -|--output --help
check full|full.yaml
dump --discovery-only disc|discovery_minimal.yaml
CASES
exit $failed
