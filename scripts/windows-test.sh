#!/usr/bin/env bash
# Builds ZK8_XML_Conv.dll for 32-bit (i686) and 64-bit (x86-64) Windows with
# mingw-w64, packs an integrator's kit of each, and runs the Windows tests of
# both: the export table, the end-to-end checks under Wine (compared byte for
# byte with the POSIX build) and a program built from the kit. The 64-bit DLL
# runs under this machine's wine64, the 32-bit one under the 32-bit Wine of an
# i386 Debian root. Installs the Debian packages it needs when missing.
#
#   build-win32/ZK8_XML_Conv.dll   the 32-bit DLL a Windows host loads
#   build-win64/ZK8_XML_Conv.dll   the same for x86-64
#   build-win32/ZK8_XML_Conv-sdk-win32.zip, build-win64/ZK8_XML_Conv-sdk-win64.zip
#                                  the kits (scripts/windows-sdk.sh)
#   build/Zk8.XmlConv.VERSION.nupkg the C# binding's NuGet package, carrying both
#                                  DLLs and the self-contained Linux library
#                                  (scripts/nuget-package.sh)
#   build-win32/wheels/zk8_xml_conv-VERSION-py3-none-win32.whl, build-win64/wheels/
#                                  ...-win_amd64.whl: the Python module with each DLL
#                                  (scripts/python-wheel.sh)
#   build-wine/                    pugixml's source package, the Wine prefixes
#                                  (prefix, prefix-i386) and the i386 root
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-deps.sh g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64 wine dpkg-dev \
  debootstrap zip unzip llvm mono-mcs mono-runtime nuget file

# Whether this machine runs 32-bit x86 programs at all: some kernels are
# built or started without them. The probe is the smallest such program, one
# that only exits (93 bytes: ELF header, one segment, exit(0)).
runs_i386() {
  local probe status
  probe=$(mktemp)
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08'\
'\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'\
'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00'\
'\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null
  status=$?
  rm -f "$probe"
  return $status
}

# The i386 root with 32-bit Wine (kept between runs) is made in the
# background, while the builds use the processors. Where this machine runs
# no 32-bit program, the 32-bit DLL is still built and its export table
# checked, but it cannot run under Wine here.
i386_root=$root/build-wine/i386-root
mkdir -p build-wine
root_job=
i386=yes
runs_i386 || i386=no
if [ $i386 = yes ]; then
  setsid scripts/debian-root.sh "$i386_root" "$(. /etc/os-release && echo "$VERSION_CODENAME")" i386 wine wine32 >build-wine/i386-root.out 2>&1 </dev/null &
  root_job=$!  # also the id of its process group
fi
wine_i386=(bash scripts/in-root.sh "$i386_root" "$root")
cleanup() {
  [ -n "$root_job" ] && kill -- -"$root_job" 2>/dev/null && wait "$root_job" 2>/dev/null
  WINEPREFIX=$root/build-wine/prefix wineserver -k >/dev/null 2>&1
  [ -f "$i386_root/.zk8-root-complete" ] &&
    WINEPREFIX=$root/build-wine/prefix-i386 "${wine_i386[@]}" wineserver -k >/dev/null 2>&1
  true
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# The POSIX tool, for the byte comparison.
scripts/build.sh

# Both DLLs (pugixml from Debian's source package), the tests' programs and
# the SDK kits.
scripts/windows-build.sh
# The NuGet package: its layout, its libraries' machines, and the C# example
# converting through it under Mono with libpugixml1v5 hidden.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
nupkg=$(scripts/nuget-package.sh build-win32 build-win64 build)
bash tests/packages/checks.sh nuget "$nupkg" "$version" build/bindings/csharp/Convert.exe examples \
  build-wine/nuget-check build/libZK8_XML_Conv.so
# The Windows wheels: the Python module with the DLL of each bitness.
for pair in build-win32:win32 build-win64:win_amd64; do
  folder=${pair%%:*}
  rm -rf "$folder/wheels"
  wheel=$(scripts/python-wheel.sh "$folder/ZK8_XML_Conv.dll" "$folder/wheels")
  bash tests/packages/checks.sh windows-wheel "$wheel" "${pair#*:}" "$version" "$folder/ZK8_XML_Conv.dll"
done

if [ $i386 = yes ]; then
  root_result=0
  wait "$root_job" || root_result=$?
  root_job=
  cat build-wine/i386-root.out
  [ "$root_result" -eq 0 ] || exit 1
fi

# A Wine prefix of its own for each Wine; its C:\ProgramData is the common
# application-data folder the DLL uses. One Wine server for all the tests of
# each, stopped at the end. Wine's own services start with it here, not
# inside a test, whose output they would hold open.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
start_wine() {  # start_wine PREFIX [WRAPPER...]
  local prefix=$1
  shift
  export WINEPREFIX=$prefix
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    "$@" wineboot -i >/dev/null 2>&1 </dev/null
    "$@" wineserver -w
  fi
  "$@" wineserver -k >/dev/null 2>&1 || true
  "$@" wineserver -p >/dev/null 2>&1 </dev/null
  "$@" wine cmd /c exit >/dev/null 2>&1 </dev/null
}
start_wine "$root/build-wine/prefix"
[ $i386 = yes ] && start_wine "$root/build-wine/prefix-i386" "${wine_i386[@]}"
unset WINEPREFIX

if [ $i386 = yes ]; then
  ctest --test-dir build-win32 --output-on-failure --timeout 300
else
  echo "This machine runs no 32-bit x86 program (the kernel refuses them): of the 32-bit DLL only the"
  echo "export table is checked; its tests under Wine are skipped. They run where 32-bit programs do."
  ctest --test-dir build-win32 -R '^windows\.export_table$' --output-on-failure --timeout 300
fi
ctest --test-dir build-win64 -j"$(nproc)" --output-on-failure --timeout 300
