#!/usr/bin/env bash
# scripts/tidy-changed.sh hands scripts/tidy.sh the files a change reaches. Each step below changes a
# small repository, runs it with a stand-in tidy.sh that notes its files ("all" for none given), and
# compares. The steps run in order: each starts from the commit the one before recorded.
#   tidychanged_test.sh PATH-TO-tidy-changed.sh
set -euo pipefail

script=$(realpath "$1")
command -v git >/dev/null 2>&1 || { echo "git not found: skipped"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
repo=$work/repo
record=$work/record
mkdir -p "$repo/scripts" "$repo/app" "$repo/audit" "$repo/cli" "$repo/platform" "$repo/version" "$repo/tests" "$work/bin"
cp "$script" "$repo/scripts/tidy-changed.sh"
cat >"$repo/scripts/tidy.sh" <<'EOF'
#!/usr/bin/env bash
shift 2
if (($# == 0)); then echo all; else echo "$*"; fi >>"$TIDY_LOG"
EOF
cat >"$work/bin/clang-tidy" <<'EOF'
#!/bin/sh
echo "clang-tidy version ${STAND_IN_VERSION:-14}"
EOF
chmod +x "$repo/scripts/"*.sh "$work/bin/clang-tidy"
export PATH="$work/bin:$PATH" TIDY_LOG="$work/log" GIT_AUTHOR_NAME=t GIT_AUTHOR_EMAIL=t@t GIT_COMMITTER_NAME=t \
    GIT_COMMITTER_EMAIL=t@t

cd "$repo"
printf 'Checks: -*\n' >.clang-tidy
printf '#include "app/window.h"\n' >app/window.cpp
printf '#pragma once\n' >app/window.h
printf '#pragma once\n' >app/shared.h
printf '#include "app/shared.h"\n' >app/b.cpp
printf '#include "shared.h"\n' >app/a.cpp
printf 'int main() {}\n' >tests/t.cpp
git init -q . && git add -A && git commit -qm first

failures=0
# step NAME EXPECTED: runs the script and compares what the stand-in was given ("none": not called).
step() {
    : >"$TIDY_LOG"
    scripts/tidy-changed.sh "$record" >/dev/null
    local given
    given=$(tr '\n' '|' <"$TIDY_LOG")
    given=${given%|}
    given=${given:-none}
    if [[ "$given" != "$2" ]]; then
        printf 'FAILED %s: expected "%s", got "%s"\n' "$1" "$2" "$given"
        failures=$((failures + 1))
    fi
}
commit() {
    printf '// %s\n' "$RANDOM" >>"$1"
    git commit -qam "$1"
}

step "no record: every file" all
step "nothing changed since" none
commit app/b.cpp && step "a changed source" app/b.cpp
commit app/window.h && step "a header, through its own source" app/window.cpp
commit app/shared.h && step "a header without one, through the first that includes it" app/a.cpp
commit tests/t.cpp && step "a test" none
commit .clang-tidy && step "the checks: every file" all
STAND_IN_VERSION=15 step "another clang-tidy: every file" all
commit app/b.cpp
printf '// edit\n' >>app/a.cpp
STAND_IN_VERSION=15 step "an edit not yet committed, beside a commit" "app/a.cpp app/b.cpp"
git checkout -q app/a.cpp
STAND_IN_VERSION=15 step "the edit undone: the commit was not the file checked" app/b.cpp
git checkout -q -b other HEAD~3 && commit app/window.cpp
STAND_IN_VERSION=15 step "a commit the recorded one is not an ancestor of: every file" all

((failures == 0)) || exit 1
echo "every step chose the expected files"
