#!/usr/bin/env bash
# Builds the Debian packages and checks them as a user of the library would.
#
#   scripts/package-test.sh
#
# The packages are built in build-package/ (Release, configured for /usr):
# zk8-xml-conv_VERSION_ARCH.deb (library, zk8conv, man page, documentation)
# zk8-xml-conv-dev_VERSION_ARCH.deb (header, CMake package, pkg-config
# file, XML Schemas) and python3-zk8-xml-conv_VERSION_all.deb (the Python module). They are unpacked into a scratch root, so nothing is installed on
# this machine, and their fields and files are checked. Then programs are
# built against the unpacked files only: docs/hosts/CMakeLists.txt with
# find_package, and docs/hosts/load_time.c with pkg-config (also against an
# install into another prefix than the configured one). Each converts
# examples/customer_catalogue.xml through CustToZK8Ext, as does the run-time
# linking example (dlopen of the plain name libZK8_XML_Conv.so) and the
# Python example through the packaged module; every output
# must equal that of the packaged zk8conv byte for byte, and read as UTF-8,
# examples/results/customer_catalogue_device.txt.
#
# Then the self-contained library (pugixml and the C++ runtime linked in),
# built in a Debian 11 root (scripts/portable-build.sh: build-portable/, the
# root kept between runs), and the Linux wheel that carries it
# (build-package/wheels/, scripts/python-wheel.sh), checked by
# tests/packages/checks.sh linux-wheel: its tag against the glibc versions the
# library needs, the library's dependencies (glibc alone), and pip install
# --no-index into a virtual environment of a Python that is not Debian's on
# this machine with libpugixml1v5 hidden, and of the Debian 11 root's own
# Python 3.9 inside it, every shipped example converted through each byte
# for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD

scripts/install-deps.sh
scripts/install-deps.sh dpkg-dev file pkgconf gcc unzip binutils
cmake -S . -B build-package -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_BUILD_TYPE=Release \
  -DBUILD_TESTING=OFF -DZK8_BENCH=OFF >/dev/null
cmake --build build-package -j"$(nproc)" >/dev/null
rm -f build-package/*.deb
(cd build-package && cpack -G DEB >/dev/null)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

# The packages' fields.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-package/CMakeCache.txt)
arch=$(dpkg --print-architecture)
runtime_deb=build-package/zk8-xml-conv_${version}_${arch}.deb
dev_deb=build-package/zk8-xml-conv-dev_${version}_${arch}.deb
python_deb=build-package/python3-zk8-xml-conv_${version}_all.deb
for deb in "$runtime_deb" "$dev_deb" "$python_deb"; do
  [ -f "$deb" ] || { echo "no package $deb" >&2; exit 1; }
  echo "$deb:"
  dpkg-deb -f "$deb" Package Version Depends | sed 's/^/  /'
done
dpkg-deb -f "$runtime_deb" Depends | grep -q 'libpugixml1v5' ||
  fail "zk8-xml-conv does not depend on libpugixml1v5"
[ "$(dpkg-deb -f "$dev_deb" Depends)" = "zk8-xml-conv (= $version)" ] ||
  fail "zk8-xml-conv-dev does not depend on zk8-xml-conv (= $version)"
[ "$(dpkg-deb -f "$python_deb" Depends)" = "zk8-xml-conv (= $version), python3 (>= 3.7)" ] ||
  fail "python3-zk8-xml-conv does not depend on zk8-xml-conv (= $version), python3 (>= 3.7)"

# The packages' files, unpacked as dpkg would install them; the runtime
# package also alone, to see what a host gets without the development files.
root=$scratch/root
dpkg-deb -x "$runtime_deb" "$scratch/runtime"
dpkg-deb -x "$runtime_deb" "$root"
dpkg-deb -x "$dev_deb" "$root"
dpkg-deb -x "$python_deb" "$root"
libdir=$(dirname "$(find "$root/usr/lib" -name libZK8_XML_Conv.so.2 -print -quit)")
lib=${libdir#"$root"/usr/}
for file in "$lib/libZK8_XML_Conv.so.$version" "$lib/libZK8_XML_Conv.so.2" bin/zk8conv \
            share/man/man1/zk8conv.1 share/doc/ZK8_XML_Conv/README.md; do
  [ -e "$scratch/runtime/usr/$file" ] || fail "zk8-xml-conv lacks /usr/$file"
done
# Hosts load the plain name, so the runtime package has it too.
[ "$(readlink "$scratch/runtime/usr/$lib/libZK8_XML_Conv.so")" = libZK8_XML_Conv.so.2 ] ||
  fail "zk8-xml-conv lacks /usr/$lib/libZK8_XML_Conv.so -> libZK8_XML_Conv.so.2"
objdump -p "$libdir/libZK8_XML_Conv.so" | grep -q 'SONAME *libZK8_XML_Conv\.so\.2$' ||
  fail "the library's soname is not libZK8_XML_Conv.so.2"
for file in include/zk8_xml_conv.h "$lib/pkgconfig/ZK8_XML_Conv.pc" \
            "$lib/cmake/ZK8_XML_Conv/ZK8_XML_ConvConfig.cmake" \
            share/zk8-xml-conv/schema/customer.xsd share/zk8-xml-conv/schema/device.xsd; do
  [ -e "$root/usr/$file" ] || fail "zk8-xml-conv-dev lacks /usr/$file"
done
[ -e "$root/usr/lib/python3/dist-packages/zk8_xml_conv/__init__.py" ] ||
  fail "python3-zk8-xml-conv lacks /usr/lib/python3/dist-packages/zk8_xml_conv/__init__.py"

# The consumers, built against the scratch root only.
cmake -S docs/hosts -B "$scratch/cmake-consumer" -DCMAKE_PREFIX_PATH="$root/usr" >/dev/null
grep -q "^ZK8_XML_Conv_DIR:PATH=$root/" "$scratch/cmake-consumer/CMakeCache.txt" ||
  fail "find_package did not take the unpacked package"
cmake --build "$scratch/cmake-consumer" >/dev/null
# The pkg-config file finds its prefix from its own folder: no sysroot is
# given, and the unpacked package is found where it lies.
export PKG_CONFIG_LIBDIR=$libdir/pkgconfig
# shellcheck disable=SC2046  # the flags are separate words
cc -o "$scratch/pkg-config-consumer" docs/hosts/load_time.c $(pkg-config --cflags --libs ZK8_XML_Conv)
# An install into a prefix other than the configured one (/usr).
moved=$scratch/moved
cmake --install build-package --prefix "$moved" >/dev/null
export PKG_CONFIG_LIBDIR
PKG_CONFIG_LIBDIR=$(dirname "$(find "$moved" -name ZK8_XML_Conv.pc -print -quit)")
pkg-config --cflags ZK8_XML_Conv | grep -q -- "-I$moved/" ||
  fail "the pkg-config file of an install moved to $moved does not name its folder"
# shellcheck disable=SC2046
cc -o "$scratch/moved-consumer" docs/hosts/load_time.c $(pkg-config --cflags --libs ZK8_XML_Conv)
unset PKG_CONFIG_LIBDIR

# Every conversion with its own working directory; Temp.xml goes into a
# scratch application-data folder.
export ZK8_COMMON_APPDATA=$scratch/appdata LD_LIBRARY_PATH=$libdir
mkdir -p "$ZK8_COMMON_APPDATA/ORVANE/Kelmora"
input=$source_dir/examples/customer_catalogue.xml
convert() {  # convert NAME PROGRAM: PROGRAM INPUT OUTPUT WORKDIR writes $scratch/NAME.xml
  mkdir -p "$scratch/work-$1"
  "$2" "$input" "$scratch/$1.xml" "$scratch/work-$1" || fail "$1: exit status $?"
}
tool() { "$root/usr/bin/zk8conv" to-device "$1" "$2" --workdir "$3"; }
# The module finds the library by its soname on the library path.
python() { PYTHONPATH=$root/usr/lib/python3/dist-packages python3 docs/hosts/convert.py "$@"; }
convert tool tool
iconv -f UTF-16 -t UTF-8 "$scratch/tool.xml" | cmp - examples/results/customer_catalogue_device.txt ||
  fail "zk8conv's output differs from examples/results/customer_catalogue_device.txt"
convert find-package "$scratch/cmake-consumer/load_time"
convert pkg-config "$scratch/pkg-config-consumer"
convert dlopen "$scratch/cmake-consumer/run_time"
LD_LIBRARY_PATH=$(dirname "$(find "$moved" -name libZK8_XML_Conv.so.2 -print -quit)") \
  convert moved-install "$scratch/moved-consumer"
convert python python
for name in find-package pkg-config dlopen moved-install python; do
  if cmp "$scratch/tool.xml" "$scratch/$name.xml"; then
    echo "$name consumer: output identical to zk8conv's ($(wc -c <"$scratch/$name.xml") bytes)"
  else
    fail "$name consumer: output differs from zk8conv's"
  fi
done

# The wheel, built from the self-contained library; the packaged library,
# which needs libpugixml1v5, must fail to load while that is hidden.
portable=$(scripts/portable-build.sh)
rm -rf build-package/wheels
wheel=$(scripts/python-wheel.sh "$portable" build-package/wheels)
bash tests/packages/checks.sh linux-wheel "$wheel" "$version" examples "$libdir/libZK8_XML_Conv.so.$version" \
  "$scratch/wheel" build-portable/root || fail "the Linux wheel $wheel"

if [ "$failures" -gt 0 ]; then
  echo "package test: $failures failures" >&2
  exit 1
fi
# The runtime package installed for real: its application-data folder.
bash tests/packages/checks.sh install "$runtime_deb" examples
echo "package test: the three packages, all five consumers and the Linux wheel passed"
