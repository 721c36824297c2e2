"""Builds the adsieve Python package: one compiled module on the C interface
(ffi/include/adsieve.h) linked with the static library of this repository.

The static library is taken from, in order: $ADSIEVE_STATIC_LIB, or
<repository>/build/libadsieve.a, which is built with CMake when missing.
"""
import os
import re
import shlex
import subprocess
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent
HEADER_DIR = ROOT / "ffi" / "include"


def project_version() -> str:
    text = (ROOT / "CMakeLists.txt").read_text()
    match = re.search(r"project\(adsieve VERSION ([0-9.]+)", text)
    return match.group(1) if match else "0"


def static_library() -> Path:
    given = os.environ.get("ADSIEVE_STATIC_LIB")
    if given:
        return Path(given).resolve()
    return ROOT / "build" / "libadsieve.a"


def pkg_config_libs(name: str) -> list:
    out = subprocess.run(["pkg-config", "--libs", name], check=True, capture_output=True, text=True)
    return shlex.split(out.stdout)


class BuildExt(build_ext):
    def run(self):
        lib = static_library()
        if not lib.exists():
            if "ADSIEVE_STATIC_LIB" in os.environ:
                raise SystemExit(f"adsieve: ADSIEVE_STATIC_LIB={lib} does not exist")
            build = ROOT / "build"
            print(f"adsieve: {lib} is missing, building it with CMake in {build}")
            subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release"], check=True)
            subprocess.run(["cmake", "--build", str(build), "--target", "adsieve_static", "-j2"], check=True)
        for ext in self.extensions:
            ext.extra_objects = [str(lib)]
            ext.extra_link_args = pkg_config_libs("icu-uc")
            ext.depends = ext.depends + [str(lib)]
        super().run()


native = Extension(
    "adsieve._native",
    sources=["src/native.cpp"],
    include_dirs=[str(HEADER_DIR)],
    depends=[str(HEADER_DIR / "adsieve.h")],
    language="c++",
    extra_compile_args=["-std=c++17", "-O2", "-fvisibility=hidden", "-Wall"],
)

setup(
    name="adsieve",
    version=project_version(),
    description="Validation of VAST, VMAP and DAAST ad documents, and bulk audits on Dask",
    packages=["adsieve", "adsieve.audit"],
    ext_modules=[native],
    cmdclass={"build_ext": BuildExt},
    python_requires=">=3.9",
    extras_require={"audit": ["dask[bag]", "distributed"]},
    zip_safe=False,
)
