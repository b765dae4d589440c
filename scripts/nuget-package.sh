#!/usr/bin/env bash
# Packs the NuGet package of the C# binding: Zk8.XmlConv.VERSION.nupkg, with
#
#   lib/net45/Zk8.XmlConv.dll                       the binding (any CPU)
#   build/net45/Zk8.XmlConv.targets                 copies the DLLs for .NET Framework
#   runtimes/win-x86/native/ZK8_XML_Conv.dll        from the 32-bit Windows build
#   runtimes/win-x64/native/ZK8_XML_Conv.dll        from the 64-bit Windows build
#   runtimes/linux-x64/native/libZK8_XML_Conv.so    the self-contained Linux library (glibc
#                                                   alone needed), stripped: LINUX_LIBRARY (the
#                                                   release's, scripts/portable-build.sh), else
#                                                   LINUX_BUILD's portable/ built here
#
# The package is packed by Debian's nuget from bindings/csharp/Zk8.XmlConv.nuspec,
# then given fixed times and its members' order (scripts/reproducible-zip.py);
# tests/packages/checks.sh nuget checks it.
# Usage: scripts/nuget-package.sh WIN32_BUILD WIN64_BUILD LINUX_BUILD [LINUX_LIBRARY]
#   (prints the package's path)
set -euo pipefail
cd "$(dirname "$0")/.."
win32=$(realpath "$1") win64=$(realpath "$2") linux=$(realpath "$3")
scripts/install-deps.sh nuget binutils >&2

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$linux/CMakeCache.txt")
if [ -n "${4:-}" ]; then
  portable=$(realpath "$4")
else
  cmake --build "$linux" --target ZK8_XML_Conv_portable -j"$(nproc)" >&2
  portable=$linux/portable/libZK8_XML_Conv.so
fi
stage=$linux/nuget-stage
rm -rf "$stage" "$linux/Zk8.XmlConv.$version.nupkg"
mkdir -p "$stage/win-x86" "$stage/win-x64" "$stage/linux-x64"
cp bindings/csharp/Zk8.XmlConv.nuspec bindings/csharp/Zk8.XmlConv.targets "$stage/"
cp "$linux/bindings/csharp/Zk8.XmlConv.dll" "$stage/"
cp "$win32/ZK8_XML_Conv.dll" "$stage/win-x86/"
cp "$win64/ZK8_XML_Conv.dll" "$stage/win-x64/"
strip --strip-unneeded -o "$stage/linux-x64/libZK8_XML_Conv.so" "$portable"
(cd "$stage" && nuget pack Zk8.XmlConv.nuspec -Properties "version=$version" -OutputDirectory "$linux" \
  -NonInteractive -Verbosity quiet >&2)
rm -rf "$stage"
scripts/reproducible-zip.py "$linux/Zk8.XmlConv.$version.nupkg"
echo "$linux/Zk8.XmlConv.$version.nupkg"
