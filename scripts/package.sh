#!/usr/bin/env bash
# Builds the release packages into dist/:
#   locbench-<version>-linux-<arch>.tar.gz   bin/ and share/doc/locbench/
#   locbench_<version>_<debian arch>.deb     the same under /usr
#   locbench-<version>-windows-x86_64.zip    every .exe and README.txt (CR LF)
# The version is the project's (CMakeLists.txt). Release builds of its own in
# build-package/ and build-package-windows/; the packages come from CPack
# (cmake/packaging.cmake). Ends by checking what the packages hold.
set -euo pipefail
cd "$(dirname "$0")/.."
linux_dir=build-package
windows_dir=build-package-windows

scripts/deps.sh --package
cmake -S . -B "$linux_dir" -DCMAKE_BUILD_TYPE=Release -DLOCBENCH_TESTS=OFF >/dev/null
cmake --build "$linux_dir" -j"$(nproc)"
scripts/build-windows.sh "$windows_dir"

setting() { sed -n "s/^set($2 \"\(.*\)\")\$/\1/p" "$1/CPackConfig.cmake"; }
version=$(setting "$linux_dir" CPACK_PACKAGE_VERSION)
linux_name=$(setting "$linux_dir" CPACK_PACKAGE_FILE_NAME)
windows_name=$(setting "$windows_dir" CPACK_PACKAGE_FILE_NAME)
[ -n "$version" ] && [ -n "$linux_name" ] && [ -n "$windows_name" ] || {
  echo "package.sh: no version or package name in the CPack configuration" >&2; exit 1; }

for dir in "$linux_dir" "$windows_dir"; do
  rm -rf "$dir/packages"
  cpack --config "$dir/CPackConfig.cmake" -B "$PWD/$dir/packages" >/dev/null
done
tgz=$linux_name.tar.gz
zip=$windows_name.zip
deb=$(cd "$linux_dir/packages" && ls locbench_"$version"_*.deb)
mkdir -p dist
cp -f "$linux_dir/packages/$tgz" "$linux_dir/packages/$deb" "$windows_dir/packages/$zip" dist/

# What the packages must hold: every executable (the jobs and locbench, as
# both builds list them) and the README.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "package.sh: $*" >&2; exit 1; }
sort "$linux_dir/executables.txt" >"$tmp/expected"
sort "$windows_dir/executables.txt" | cmp -s - "$tmp/expected" || fail "the two builds list different executables"
count=$(wc -l <"$tmp/expected")
[ "$count" -gt 0 ] || fail "no executables listed in $linux_dir/executables.txt"

tar -tzf "dist/$tgz" >"$tmp/tgz-list"
sed -n "s|^$linux_name/bin/\(.\)|\1|p" "$tmp/tgz-list" | sort >"$tmp/tgz"
diff "$tmp/expected" "$tmp/tgz" >/dev/null || fail "$tgz: bin/ differs from the build: $(diff "$tmp/expected" "$tmp/tgz" | grep '^[<>]' | tr '\n' ' ')"
grep -qx "$linux_name/share/doc/locbench/README.md" "$tmp/tgz-list" || fail "$tgz: no README.md"

dpkg-deb --fsys-tarfile "dist/$deb" | tar -t >"$tmp/deb-list"
sed -n 's|^\./usr/bin/\(.\)|\1|p' "$tmp/deb-list" | sort >"$tmp/deb"
diff "$tmp/expected" "$tmp/deb" >/dev/null || fail "$deb: usr/bin/ differs from the build"
grep -qx './usr/share/doc/locbench/README.md' "$tmp/deb-list" || fail "$deb: no README.md"

mkdir "$tmp/zip"
(cd "$tmp/zip" && cmake -E tar xf "$OLDPWD/dist/$zip")
(cd "$tmp/zip" && find . -type f | sort) >"$tmp/zip-files"
{ sed "s|^|./$windows_name/|; s|\$|.exe|" "$tmp/expected"; echo "./$windows_name/README.txt"; } | sort >"$tmp/zip-expected"
diff "$tmp/zip-expected" "$tmp/zip-files" >/dev/null || fail "$zip: not the $count .exe files and README.txt: $(diff "$tmp/zip-expected" "$tmp/zip-files" | grep '^[<>]' | tr '\n' ' ')"
readme=$tmp/zip/$windows_name/README.txt
[ "$(grep -c $'\r$' "$readme")" -eq "$(wc -l <"$readme")" ] || fail "$zip: README.txt has lines that do not end in CR LF"
[ "$(tail -c 2 "$readme" | od -An -tx1 | tr -d ' \n')" = 0d0a ] || fail "$zip: README.txt does not end in CR LF"
# Less its byte-order mark and CRs, it is README.md.
tail -c +4 "$readme" | tr -d '\r' | cmp -s - README.md || fail "$zip: README.txt is not README.md with CR LF"
for exe in "$tmp/zip/$windows_name"/*.exe; do
  [ "$(head -c 2 "$exe")" = MZ ] || fail "$zip: $(basename "$exe") is not a Windows executable"
done

echo "dist/ ($count executables in each package, version $version):"
(cd dist && stat -c '%10s bytes  %n' "$tgz" "$deb" "$zip")
