#!/usr/bin/env bash
# Builds the release packages into dist/ and checks them:
#   locbench-<version>-linux-<arch>.tar.gz       the install tree (below)
#   locbench_<version>-<revision>_<arch>.deb      the same under /usr, for Debian
#   locbench-<version>-windows-x86_64.zip         every .exe, README.txt, LICENSE.txt
# The Linux tree: bin/locbench (the one executable), lib/locbench/bin/JOB (a
# link to it for each job), the manual page, the bash completion, and the
# README and licence in share/doc/locbench (the .deb has Debian's copyright
# and changelog there instead). The install rules are cmake/packaging.cmake;
# the .deb's control file and changelog are packaging/debian/.
#
#   scripts/package.sh           build the packages from scratch, check them
#   scripts/package.sh --twice   then build them all again in other folders
#                                and check that every byte is the same
#
# Every time stamp is SOURCE_DATE_EPOCH, the last commit's time unless set.
# The checks: lintian accepts the .deb (no error, no warning that is not
# overridden with a reason in the package); each package holds exactly what
# it should; the .deb installs into a scratch root, where locbench lists and
# runs its jobs, a job starts by its link name and the manual page renders,
# and its removal leaves nothing behind; every .exe needs no DLL but the
# system's own, and each carries its version resource and manifest.
set -euo pipefail
cd "$(dirname "$0")/.."
twice=no
case "${1:-}" in
  --twice) twice=yes ;;
  "") ;;
  *) echo "usage: scripts/package.sh [--twice]" >&2; exit 2 ;;
esac
fail() { echo "package.sh: $*" >&2; exit 1; }

scripts/deps.sh --package --windows
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || fail "no git history: set SOURCE_DATE_EPOCH"
fi
export SOURCE_DATE_EPOCH
# Names sort the same everywhere; file times in zip are local time.
export LC_ALL=C.UTF-8 TZ=UTC
umask 022

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

project_version() { sed -n 's/^project(locbench VERSION \([^ )]*\).*/\1/p' CMakeLists.txt; }

# Sets every time in a tree to SOURCE_DATE_EPOCH.
stamp() { find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +; }

# Strips an ELF executable as Debian does (dh_strip).
strip_elf() { strip --remove-section=.comment --remove-section=.note "$1"; }

# The copyright file in Debian's machine-readable format, from LICENSE: its
# copyright line and the licence text after it.
copyright() {
  local holder
  holder=$(sed -n 's/^Copyright (c) //p' LICENSE | head -1)
  [ -n "$holder" ] || fail "LICENSE has no \"Copyright (c)\" line"
  echo "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
  echo "Upstream-Name: locbench"
  echo "Upstream-Contact: $1"
  echo
  echo "Files: *"
  echo "Copyright: $holder"
  echo "License: Expat"
  sed -n '/^Copyright (c) /,$p' LICENSE | tail -n +2 | sed '/./,$!d; s/^$/./; s/^/ /'
}

# build LINUX_DIR WINDOWS_DIR OUT_DIR: the three packages from builds made
# anew in the two folders.
build() {
  local linux_dir=$1 windows_dir=$2 out=$3
  rm -rf "$linux_dir" "$windows_dir" "$out"
  mkdir -p "$out"
  out=$(cd "$out" && pwd)
  # Optimised as the tests run it (-O2), with Debian's flags: hardening, and
  # the source folder mapped out of the binaries. The build folder too: its
  # name is in the debug information that the build ID is a hash of.
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  local unmap="-ffile-prefix-map=$PWD=. -ffile-prefix-map=$PWD/$linux_dir=build"
  cmake -S . -B "$linux_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOCBENCH_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr \
    "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS) $unmap" \
    "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)" >/dev/null
  cmake --build "$linux_dir" -j"$(nproc)"
  scripts/build-windows.sh "$windows_dir" \
    "-DCMAKE_CXX_FLAGS=-ffile-prefix-map=$PWD=. -ffile-prefix-map=$PWD/$windows_dir=build" >/dev/null

  local version revision arch work
  version=$(project_version)
  revision=$(dpkg-parsechangelog -l "$linux_dir/debian/changelog" -S Version)
  [ "${revision%-*}" = "$version" ] || fail "packaging/debian/changelog.in is at $revision, the project at $version"
  arch=$(dpkg --print-architecture)
  work=$tmp/work
  rm -rf "$work"

  # The .deb: the install tree under /usr, stripped, with Debian's documents.
  local deb=$work/deb root
  root=$deb/debian/locbench
  mkdir -p "$deb/debian"
  cp "$linux_dir/debian/control" "$linux_dir/debian/changelog" "$deb/debian/"
  DESTDIR=$root cmake --install "$linux_dir" >/dev/null
  strip_elf "$root/usr/bin/locbench"
  local doc=$root/usr/share/doc/locbench
  rm "$doc/LICENSE"
  gzip -9n "$doc/README.md"
  gzip -9nc "$linux_dir/debian/changelog" >"$doc/changelog.Debian.gz"
  copyright "$(sed -n 's/^Maintainer: //p' "$deb/debian/control")" >"$doc/copyright"
  mkdir -p "$root/usr/share/lintian/overrides" "$root/DEBIAN"
  cp packaging/debian/lintian-overrides "$root/usr/share/lintian/overrides/locbench"
  (cd "$deb" && dpkg-shlibdeps -Tdebian/locbench.substvars debian/locbench/usr/bin/locbench &&
    dpkg-gencontrol -plocbench -Pdebian/locbench -Tdebian/locbench.substvars -fdebian/files)
  (cd "$root" && find usr -type f | sort | xargs md5sum) >"$root/DEBIAN/md5sums"
  chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
  stamp "$root"
  dpkg-deb --root-owner-group -Zxz --build "$root" "$out/locbench_${revision}_$arch.deb" >/dev/null

  # The .tar.gz: the same install tree (with the README and the licence) in
  # a top folder of its own name.
  local linux_name=locbench-$version-linux-$(uname -m)
  DESTDIR=$work/tgz cmake --install "$linux_dir" --prefix "/$linux_name" >/dev/null
  strip_elf "$work/tgz/$linux_name/bin/locbench"
  stamp "$work/tgz"
  tar -C "$work/tgz" --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
    --format=gnu -cf - "$linux_name" | gzip -9n >"$out/$linux_name.tar.gz"

  # The .zip: the Windows install tree, stripped, in a top folder of its own
  # name; names in order, no owners or extra times.
  local windows_name=locbench-$version-windows-x86_64
  DESTDIR=$work/zip cmake --install "$windows_dir" --prefix "/$windows_name" --strip >/dev/null
  chmod -R u=rwX,go=rX "$work/zip"
  stamp "$work/zip"
  (cd "$work/zip" && find "$windows_name" | sort | zip -X -9 -q -@ "$out/$windows_name.zip")
}

build build-package build-package-windows dist

# --- What the packages hold.
version=$(project_version)
deb=$(cd dist && ls locbench_"$version"-*.deb)
tgz=locbench-$version-linux-$(uname -m).tar.gz
zip=locbench-$version-windows-x86_64.zip
linux_name=${tgz%.tar.gz}
windows_name=${zip%.zip}
sort build-package/jobs.txt >"$tmp/jobs"
sort build-package-windows/jobs.txt | cmp -s - "$tmp/jobs" || fail "the two builds list different jobs"
count=$(wc -l <"$tmp/jobs")
[ "$count" -gt 0 ] || fail "no jobs listed in build-package/jobs.txt"

# Each entry of a Linux tree as "PATH" for a file or a folder, "PATH ->
# TARGET" for a link; the tree each package must hold below its top.
linux_tree() {
  local docs=$1
  printf '%s\n' bin/ bin/locbench lib/ lib/locbench/ lib/locbench/bin/ share/ share/bash-completion/ \
    share/bash-completion/completions/ share/bash-completion/completions/locbench share/doc/ \
    share/doc/locbench/ share/man/ share/man/man1/ share/man/man1/locbench.1.gz
  sed 's|.*|lib/locbench/bin/& -> ../../../bin/locbench|' "$tmp/jobs"
  printf 'share/doc/locbench/%s\n' $docs
}
listing() { sed -E 's/^[^ ]+ +[^ ]+ +[0-9]+ +[^ ]+ +[^ ]+ +//' | sort; }

{ linux_tree "copyright changelog.Debian.gz README.md.gz"; printf '%s\n' share/lintian/ share/lintian/overrides/ \
    share/lintian/overrides/locbench; } | sed 's|^|./usr/|' | { cat; printf '%s\n' ./ ./usr/; } | sort >"$tmp/deb-expected"
dpkg-deb -c "dist/$deb" | listing >"$tmp/deb-list"
diff "$tmp/deb-expected" "$tmp/deb-list" >"$tmp/diff" || fail "$deb holds other files than it should: $(grep '^[<>]' "$tmp/diff" | tr '\n' ' ')"
[ "$(dpkg-deb -c "dist/$deb" | grep -c '^-..x.*\./usr/bin/')" -eq 1 ] || fail "$deb: /usr/bin is not one executable"

{ linux_tree "README.md LICENSE"; echo; } | sed "s|^|$linux_name/|" | sort >"$tmp/tgz-expected"
tar -tvzf "dist/$tgz" | listing >"$tmp/tgz-list"
diff "$tmp/tgz-expected" "$tmp/tgz-list" >"$tmp/diff" || fail "$tgz holds other files than it should: $(grep '^[<>]' "$tmp/diff" | tr '\n' ' ')"

mkdir "$tmp/zip"
(cd "$tmp/zip" && unzip -q "$OLDPWD/dist/$zip")
(cd "$tmp/zip" && find . -type f | sort) >"$tmp/zip-files"
{ sed "s|^|./$windows_name/|; s|\$|.exe|" "$tmp/jobs"
  printf "./$windows_name/%s\n" locbench.exe README.txt LICENSE.txt; } | sort >"$tmp/zip-expected"
diff "$tmp/zip-expected" "$tmp/zip-files" >"$tmp/diff" || fail "$zip: not the $count jobs' .exe files, locbench.exe, README.txt and LICENSE.txt: $(grep '^[<>]' "$tmp/diff" | tr '\n' ' ')"
for text in README.txt:README.md LICENSE.txt:LICENSE; do
  file=$tmp/zip/$windows_name/${text%%:*}
  [ "$(grep -c $'\r$' "$file")" -eq "$(wc -l <"$file")" ] || fail "$zip: ${text%%:*} has lines that do not end in CR LF"
  [ "$(tail -c 2 "$file" | od -An -tx1 | tr -d ' \n')" = 0d0a ] || fail "$zip: ${text%%:*} does not end in CR LF"
  # Less a byte-order mark and the CRs, it is the file it is made from.
  sed '1s/^\xEF\xBB\xBF//' "$file" | tr -d '\r' | cmp -s - "${text#*:}" || fail "$zip: ${text%%:*} is not ${text#*:} with CR LF"
done
# Each .exe: a Windows executable needing no DLL but the system's own, with
# its version resource and manifest.
scripts/check-exe.sh "$tmp/zip/$windows_name" build-package/bin/locbench >/dev/null || fail "$zip: an .exe is not as it should be"

# --- lintian: no error, and every warning overridden, each override with
# the reason on the line before it.
awk '/^[^#[:space:]]/ && prev !~ /^#/ {print "package.sh: lintian override without a reason: " $0; bad=1} {prev=$0}
     END {exit bad}' packaging/debian/lintian-overrides >&2 || exit 1
lintian --fail-on error,warning "dist/$deb" >"$tmp/lintian" 2>&1 || { cat "$tmp/lintian" >&2; fail "lintian rejects $deb"; }
# What it says besides, with the overrides and their reasons.
echo "lintian on $deb: no error, no warning that is not overridden"
lintian --display-info --show-overrides "dist/$deb" 2>/dev/null | sed 's/^/  /' || true

# --- The .deb installed into a scratch root, and removed again.
sroot=$tmp/root
mkdir -p "$sroot/var/lib/dpkg/updates" "$sroot/var/lib/dpkg/info"
touch "$sroot/var/lib/dpkg/status"
(cd "$sroot" && find . | sort) >"$tmp/root-before"
dpkg --root="$sroot" --force-depends --force-script-chrootless -i "dist/$deb" >"$tmp/dpkg.log" 2>&1 ||
  { cat "$tmp/dpkg.log" >&2; fail "$deb does not install"; }
locbench=$sroot/usr/bin/locbench
"$locbench" --list >"$tmp/list" || fail "locbench --list fails"
while read -r job; do
  grep -q "^  $job " "$tmp/list" || fail "locbench --list does not list $job"
done <"$tmp/jobs"
# The sample game in a scratch prefix: patchpak finds what it needs in the
# game's bin folder, and extractpak, started by its link name, takes it apart.
prefix=$tmp/prefix
game=$prefix/dosdevices/c:/games/Brassjaw
mkdir -p "$prefix/dosdevices/c:/games" && cp -r sample/Brassjaw "$prefix/dosdevices/c:/games/"
mkdir -p "$game/bin" "$game/xfiles/pak"
(cd "$game/bin" && WINEPREFIX=$prefix "$locbench" patchpak --check) >"$tmp/check" ||
  { cat "$tmp/check" >&2; fail "locbench patchpak --check fails on the sample game"; }
(cd "$tmp" && WINEPREFIX=$prefix "$sroot/usr/lib/locbench/bin/extractpak") >"$tmp/extract" ||
  { cat "$tmp/extract" >&2; fail "extractpak, started by its link name, fails on the sample game"; }
[ -n "$(ls "$game/xfiles/pak")" ] || fail "extractpak, started by its link name, wrote nothing"
"$sroot/usr/lib/locbench/bin/extractpak" --help | head -1 | grep -q '^extractpak: ' ||
  fail "extractpak --help, started by its link name, does not explain extractpak"
# The manual page renders without a word from groff, and names every job.
man_page=$sroot/usr/share/man/man1/locbench.1.gz
MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$man_page" 2>"$tmp/man-warnings" >/dev/null ||
  fail "man cannot render $man_page"
[ ! -s "$tmp/man-warnings" ] || fail "man warns about the manual page: $(cat "$tmp/man-warnings")"
MANWIDTH=80 man -l "$man_page" 2>/dev/null >"$tmp/man"
while read -r job; do
  grep -q "^   $job\$" "$tmp/man" || fail "the manual page has no section for $job"
done <"$tmp/jobs"
dpkg --root="$sroot" --force-script-chrootless --purge locbench >>"$tmp/dpkg.log" 2>&1 ||
  { cat "$tmp/dpkg.log" >&2; fail "locbench does not purge"; }
(cd "$sroot" && find . ! -path './var/lib/dpkg/*' | sort) >"$tmp/root-after"
grep -v '^\./var/lib/dpkg/' "$tmp/root-before" | diff - "$tmp/root-after" >"$tmp/diff" ||
  fail "removing $deb leaves behind: $(grep '^>' "$tmp/diff" | tr '\n' ' ')"

# --- Built twice, the same bytes.
if [ "$twice" = yes ]; then
  build build-package.again build-package-windows.again "$tmp/again"
  for f in "$deb" "$tgz" "$zip"; do
    cmp "dist/$f" "$tmp/again/$f" || fail "$f differs when built a second time (dist/ and $tmp/again)"
  done
  rm -rf build-package.again build-package-windows.again
  echo "built twice: the same bytes"
fi

echo "dist/ ($count jobs, version $version, SOURCE_DATE_EPOCH $SOURCE_DATE_EPOCH):"
(cd dist && stat -c '%10s bytes  %n' "$tgz" "$deb" "$zip")
