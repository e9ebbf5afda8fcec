#!/usr/bin/env bash
# The Debian package as apt gets it: built from the tree by scripts/deb, it holds the command, its
# man page, bash completion and schema (nothing of the library or the Python package), depends
# on the runtime libraries by package name, passes lintian without an error, and its command runs
# once unpacked.
# usage: check_deb.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source=$1
work=$2
fail() {
  echo "check_deb: $*" >&2
  exit 1
}

deb=$("$source/scripts/deb" "$work")
version=$(dpkg-deb --field "$deb" Version)
[[ "$(basename "$deb")" == "tarnwick-config_${version}_$(dpkg --print-architecture).deb" ]] ||
  fail "unexpected file name $deb"

contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
for f in ./usr/bin/tarnwick-config ./usr/share/man/man1/tarnwick-config.1.gz \
  ./usr/share/bash-completion/completions/tarnwick-config \
  ./usr/share/tarnwick-config/tarnwick-config.schema.json \
  ./usr/share/doc/tarnwick-config/copyright ./usr/share/doc/tarnwick-config/changelog.gz; do
  grep -qxF "$f" <<<"$contents" || fail "$f is not in the package"
done
if grep -E '^\./usr/(include|lib|local)/' <<<"$contents"; then
  fail "the package holds more than the command's files"
fi

depends=$(dpkg-deb --field "$deb" Depends)
for package in libc6 libstdc++6 libyaml-0-2; do
  [[ ", $depends," =~ ,\ "$package"[\ ,] ]] || fail "Depends ($depends) does not name $package"
done

lintian_out=$(lintian --fail-on error "$deb" 2>&1) || {
  echo "$lintian_out" >&2
  fail "lintian reports errors"
}

root="$work/unpacked"
rm -rf "$root"
dpkg-deb -x "$deb" "$root"
tool="$root/usr/bin/tarnwick-config"
[[ "$("$tool" --version)" == "tarnwick-config $version" ]] || fail "--version is not $version"
"$tool" check --quiet "$source/examples/full.yaml" >/dev/null || fail "the example does not pass"
zcat "$root/usr/share/man/man1/tarnwick-config.1.gz" | grep -q '^\.TH "\?TARNWICK-CONFIG' ||
  fail "the man page has no title"
bash -n "$root/usr/share/bash-completion/completions/tarnwick-config" ||
  fail "the completion is not bash"
echo "check_deb: $deb holds the command ($depends); lintian: no error"
