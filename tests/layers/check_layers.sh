#!/usr/bin/env bash
# Checks that the folders are layers in a line: every #include "x/..." of a folder and every
# library its CMakeLists.txt links names itself or a folder the table below puts under it, and
# no folder below the widget layer includes or links a widget module of Qt.
#
#   check_layers.sh SOURCE_DIR QT_HEADERS_DIR    (QT_HEADERS_DIR holds QtCore/, QtWidgets/...)
#
# bench/, tests/ and fuzz/ may use anything and are not checked. A folder with code that the
# table does not name fails the check: a new folder takes its place in the line on purpose.
set -euo pipefail
src=${1:?usage: check_layers.sh SOURCE_DIR QT_HEADERS_DIR}
qt=${2:?usage: check_layers.sh SOURCE_DIR QT_HEADERS_DIR}

# What each folder may use, lowest first. A name covers its subfolders ("platform" is every
# platform library); platform/ and gui/ are groups of libraries, each a folder of its own here.
declare -A lower=(
    [platform/fileio]=""
    [platform/shell]=""
    [platform/profile]="platform/fileio"
    [platform/pdfpages]="platform/fileio"
    [platform/imaging]="platform/fileio platform/pdfpages"
    [platform/tiffpages]="platform/fileio platform/imaging"
    [platform/pdfrender]="platform/fileio platform/pdfpages platform/imaging platform/tiffpages"
    [core]="platform"
    [search]="core platform"
    [pageops]="core platform"
    [gui/widgets]="core platform"
    [gui/ui]="core platform"
    [gui/cursor]="core platform"
    [jobs]="search pageops core platform"
    [tools]="jobs gui search pageops core platform"
    [mainwindow]="tools jobs gui search pageops core platform"
    [app]="mainwindow tools jobs gui search pageops core platform"
)
# The Qt modules each folder may use; "*" is any. Only gui/ and what stands on it may use widgets.
declare -A qtModules=(
    [platform/fileio]="Core" [platform/shell]="Core" [platform/profile]="Core"
    [platform/pdfpages]="Core" [platform/tiffpages]="Core"
    [platform/imaging]="Core Gui Svg" [platform/pdfrender]="Core Gui"
    [core]="Core" [search]="Core" [pageops]="Core Gui" [jobs]="Core Gui"
    [gui/widgets]="*" [gui/ui]="*" [gui/cursor]="*" [tools]="*" [mainwindow]="*" [app]="*"
)
unchecked=" bench tests fuzz "

# The folder a path belongs to, into $folderOf: its first part, or its first two under
# platform/ and gui/.
folderOf() {
    local first=${1%%/*} rest=${1#*/}
    if [[ ($first == platform || $first == gui) && $rest == */* ]]; then
        folderOf=$first/${rest%%/*}
    else
        folderOf=$first
    fi
}

# True when folder $1 may use folder $2.
mayUse() {
    [[ $1 == "$2" ]] && return 0
    local name
    for name in ${lower[$1]}; do
        [[ $2 == "$name" || $2 == "$name"/* ]] && return 0
    done
    return 1
}

mayUseQt() {
    [[ " ${qtModules[$1]} " == *" * "* || " ${qtModules[$1]} " == *" $2 "* ]]
}

# Qt's headers by name: <QProgressBar> is in QtWidgets/.
declare -A qtModuleOf
for dir in "$qt"/Qt*/; do
    module=${dir%/}
    module=${module##*/}
    for header in "$dir"Q*; do
        header=${header##*/}
        [[ $header == *.* ]] || qtModuleOf[$header]=${module#Qt}
    done
done
if ((${#qtModuleOf[@]} == 0)); then
    echo "no Qt headers under $qt" >&2
    exit 2
fi

failures=0
fail() {
    echo "$1"
    failures=$((failures + 1))
}

# Every folder with code must have its place in the line.
cd "$src"
while IFS= read -r file; do
    folderOf "${file#./}"
    [[ $unchecked == *" ${folderOf%%/*} "* || -v lower[$folderOf] ]] ||
        fail "${file#./}: the folder $folderOf has no place in the layer table of tests/layers/check_layers.sh"
done < <(find . -path ./.git -prune -o -path './build*' -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print |
    sort)

for folder in "${!lower[@]}"; do
    [[ -d $folder ]] || fail "the layer table names $folder, which does not exist"
done

includes=0
while IFS=: read -r file line text; do
    folderOf "$file"
    folder=$folderOf
    includes=$((includes + 1))
    if [[ $text =~ \#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]]; then
        target=${BASH_REMATCH[1]}
        [[ $target == */* && -d ${target%%/*} ]] || continue # a header beside it, or not ours
        folderOf "$target"
        mayUse "$folder" "$folderOf" || fail "$file:$line: $folder may not include $target ($folderOf is not below it)"
    elif [[ $text =~ \#[[:space:]]*include[[:space:]]*\<([^\>]+)\> ]]; then
        header=${BASH_REMATCH[1]}
        if [[ $header == Qt*/* ]]; then
            module=${header%%/*}
            module=${module#Qt}
        else
            module=${qtModuleOf[$header]:-} # empty: not a Qt header
        fi
        [[ -z $module ]] || mayUseQt "$folder" "$module" || fail "$file:$line: $folder may not use Qt $module (<$header>)"
    fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include' --include='*.cpp' --include='*.h' "${!lower[@]}" || true)

# Each CMakeLists.txt of the table's folders: the libraries it makes, then what it links.
declare -A libraryFolder linked
while IFS= read -r list; do
    list=${list#./}
    folderOf "$list"
    folder=$folderOf
    IFS= read -r -d '' text <"$list" || true
    rest=$text
    while [[ $rest =~ (qm_library|add_library)\([[:space:]]*(qm_[A-Za-z0-9_]+) ]]; do
        libraryFolder[${BASH_REMATCH[2]}]=$folder
        rest=${rest#*"${BASH_REMATCH[0]}"}
    done
    [[ -v lower[$folder] ]] || continue
    rest=$text
    while [[ $rest =~ target_link_libraries\([[:space:]]*[^[:space:]\)]+([^\)]*)\) ]]; do
        linked[$list]+=" ${BASH_REMATCH[1]}"
        rest=${rest#*"${BASH_REMATCH[0]}"}
    done
done < <(find . -path ./.git -prune -o -path './build*' -prune -o -name CMakeLists.txt -print)

links=0
for list in "${!linked[@]}"; do
    folderOf "$list"
    folder=$folderOf
    read -ra names <<<"${linked[$list]}"
    for name in "${names[@]}"; do
        links=$((links + 1))
        case $name in
        qm_*)
            used=${libraryFolder[$name]:-}
            if [[ -z $used ]]; then
                fail "$list: links $name, which no CMakeLists.txt makes"
            else
                mayUse "$folder" "$used" || fail "$list: $folder may not link $name ($used is not below it)"
            fi
            ;;
        Qt6::*)
            mayUseQt "$folder" "${name#Qt6::}" || fail "$list: $folder may not link $name"
            ;;
        esac
    done
done

if ((failures)); then
    echo "$failures use(s) against the layers"
    exit 1
fi
echo "${#lower[@]} folders in line: $includes includes and $links link entries all point down"
