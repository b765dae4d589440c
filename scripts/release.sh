#!/usr/bin/env bash
# Builds every artefact of a release into dist/ (emptied first), each named
# with the version of CMakeLists.txt (VERSION below), and their checksums:
#
#   zk8-xml-conv_VERSION_amd64.deb          library, zk8conv, man page (Debian 12)
#   zk8-xml-conv-dev_VERSION_amd64.deb      header, CMake package, pkg-config file
#   python3-zk8-xml-conv_VERSION_all.deb    the Python module for Debian's python3
#   ZK8_XML_Conv-VERSION-sdk-win32.zip      32-bit DLL, header, import libraries
#   ZK8_XML_Conv-VERSION-sdk-win64.zip      the same for 64-bit Windows
#   Zk8.XmlConv.VERSION.nupkg               C# binding with the Windows DLLs and
#                                           the self-contained Linux library
#   zk8_xml_conv-VERSION-py3-none-manylinux_2_X_x86_64[.OLDER_NAME].whl
#   zk8_xml_conv-VERSION-py3-none-win32.whl
#   zk8_xml_conv-VERSION-py3-none-win_amd64.whl
#                                           the Python module with its library
#   zk8-xml-conv-VERSION.tar.gz             the sources of the commit checked out
#   SHA256SUMS                              sha256sum -c SHA256SUMS checks them
#
# The Debian packages and the Linux wheel are those scripts/package-test.sh
# builds and tests (build-package/, Release; the wheel's library is built in
# a Debian 11 root, build-portable/, and the NuGet package carries the same
# file); the DLLs and kits come from scripts/windows-build.sh (the DLL
# targets alone); the NuGet package and the Windows wheels are packed from
# them and checked as the Windows tests check theirs. The tarball holds the
# commit, not uncommitted changes.
#
# The same commit gives the same bytes: every time stamp in the packages is
# the commit's (SOURCE_DATE_EPOCH; cpack's .debs, the wheels, and the zips
# through scripts/reproducible-zip.py, members in order), the DLLs carry no
# link time, and modes do not follow the caller's umask. With --check the
# release is made twice, the second time from fresh build folders
# (build-package/, build-portable/build/, build-win32/, build-win64/; the
# Debian 11 root and pugixml's source are kept), and the two SHA256SUMS must
# be the same.
# Usage: scripts/release.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = --check ]; then
  first=$(mktemp)
  trap 'rm -f "$first"' EXIT
  scripts/release.sh
  cp dist/SHA256SUMS "$first"
  rm -rf build-package build-portable/build build-win32 build-win64
  scripts/release.sh
  if cmp -s "$first" dist/SHA256SUMS; then
    echo "release --check: two releases of $(git rev-parse --short HEAD), the second from fresh builds, gave the same SHA256SUMS"
  else
    echo "release --check: the two releases differ:" >&2
    diff "$first" dist/SHA256SUMS >&2
    exit 1
  fi
  exit 0
fi
umask 022
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
scripts/install-deps.sh mono-mcs mono-runtime nuget unzip file binutils

scripts/package-test.sh
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-package/CMakeCache.txt)
arch=$(dpkg --print-architecture)
scripts/windows-build.sh ZK8_XML_Conv

rm -rf dist
mkdir dist
cp build-package/zk8-xml-conv_"${version}_$arch".deb build-package/zk8-xml-conv-dev_"${version}_$arch".deb \
   build-package/python3-zk8-xml-conv_"${version}"_all.deb build-package/wheels/*.whl dist/
cp build-win32/ZK8_XML_Conv-sdk-win32.zip "dist/ZK8_XML_Conv-$version-sdk-win32.zip"
cp build-win64/ZK8_XML_Conv-sdk-win64.zip "dist/ZK8_XML_Conv-$version-sdk-win64.zip"

# The NuGet package, checked with the C# example built against its assembly.
# Its Linux library is the one of the Linux wheel, built in the Debian 11 root.
nupkg=$(scripts/nuget-package.sh build-win32 build-win64 build-package "$(scripts/portable-build.sh)")
mv "$nupkg" dist/
cmp <(unzip -p "dist/Zk8.XmlConv.$version.nupkg" runtimes/linux-x64/native/libZK8_XML_Conv.so) \
    <(unzip -p dist/zk8_xml_conv-"$version"-py3-none-manylinux_*.whl zk8_xml_conv/libZK8_XML_Conv.so) ||
  { echo "release: the NuGet package's Linux library is not the Linux wheel's" >&2; exit 1; }
check=build-package/release-check
rm -rf "$check"
mkdir -p "$check"
mcs -nologo -r:build-package/bindings/csharp/Zk8.XmlConv.dll -out:"$check/Convert.exe" docs/hosts/Convert.cs
bash tests/packages/checks.sh nuget "dist/Zk8.XmlConv.$version.nupkg" "$version" "$check/Convert.exe" examples \
  "$check/nuget" build-package/libZK8_XML_Conv.so

# The Windows wheels.
for pair in build-win32:win32 build-win64:win_amd64; do
  wheel=$(scripts/python-wheel.sh "${pair%%:*}/ZK8_XML_Conv.dll" dist)
  bash tests/packages/checks.sh windows-wheel "$wheel" "${pair#*:}" "$version" "${pair%%:*}/ZK8_XML_Conv.dll"
done

# The sources.
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
  echo "Note: the tarball holds commit $(git rev-parse --short HEAD); uncommitted changes are not in it"
git archive --format=tar.gz --prefix="zk8-xml-conv-$version/" -o "dist/zk8-xml-conv-$version.tar.gz" HEAD

expected="python3-zk8-xml-conv_${version}_all.deb
SHA256SUMS
ZK8_XML_Conv-$version-sdk-win32.zip
ZK8_XML_Conv-$version-sdk-win64.zip
Zk8.XmlConv.$version.nupkg
zk8-xml-conv-$version.tar.gz
zk8-xml-conv-dev_${version}_$arch.deb
zk8-xml-conv_${version}_$arch.deb
zk8_xml_conv-$version-py3-none-manylinux_*_x86_64.whl
zk8_xml_conv-$version-py3-none-win32.whl
zk8_xml_conv-$version-py3-none-win_amd64.whl"
(cd dist && sha256sum -- * >SHA256SUMS.tmp && mv SHA256SUMS.tmp SHA256SUMS && sha256sum --quiet -c SHA256SUMS)
listed=$(cd dist && ls | LC_ALL=C sort)
while read -r line; do
  grep -qx -- "$(printf '%s' "$line" | sed 's/\./\\./g; s/\*/.*/g')" <<<"$listed" || {
    echo "release: dist/ lacks $line" >&2
    exit 1
  }
done <<<"$expected"
[ "$(wc -l <<<"$listed")" -eq "$(wc -l <<<"$expected")" ] || { echo "release: dist/ holds more than expected" >&2; exit 1; }
echo
echo "Release $version in dist/:"
(cd dist && ls -l --time-style=+ | tail -n +2 | awk '{print "  " $5 "\t" $NF}')
echo "SHA256SUMS:"
sed 's/^/  /' dist/SHA256SUMS
