"""Builds the wheel that carries the native library beside the module.

scripts/python-wheel.sh runs it in a copy of bindings/python whose
zk8_xml_conv/ already holds the library, as

    python3 setup.py bdist_wheel --plat-name PLATFORM

The module is ctypes only, so the wheel fits any Python 3 ("py3-none") but
one platform, the library's.
"""
from setuptools import setup
from setuptools.dist import Distribution
from wheel.bdist_wheel import bdist_wheel


class NativeDistribution(Distribution):
    """Holds native code (the library), so the wheel installs into platlib."""

    def has_ext_modules(self):
        return True


class PlatformWheel(bdist_wheel):
    def get_tag(self):
        return "py3", "none", self.plat_name


setup(distclass=NativeDistribution, cmdclass={"bdist_wheel": PlatformWheel},
      package_data={"zk8_xml_conv": ["libZK8_XML_Conv.so", "ZK8_XML_Conv.dll"]})
