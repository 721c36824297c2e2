# The addon links the static library that the top-level CMake build leaves in
# build/ (scripts/node.sh builds it first), and ICU through pkg-config.
{
  "targets": [
    {
      "target_name": "adsieve",
      "sources": ["src/addon.cpp"],
      "dependencies": ["<!(node -p \"require('node-addon-api').targets\"):node_addon_api_except_all"],
      "include_dirs": ["<(module_root_dir)/../../ffi/include"],
      "defines": ["NAPI_VERSION=8", "NODE_ADDON_API_DISABLE_DEPRECATED"],
      "cflags_cc": ["-std=c++20", "-Wall", "-Wextra", "-fvisibility=hidden", "-fvisibility-inlines-hidden"],
      "libraries": [
        "<(module_root_dir)/../../build/libadsieve.a",
        "<!@(pkg-config --libs icu-uc)"
      ]
    },
    {
      "target_name": "capi_bench",
      "type": "executable",
      "sources": ["bench/capi_bench.c"],
      "include_dirs": ["<(module_root_dir)/../../ffi/include"],
      "libraries": [
        "<(module_root_dir)/../../build/libadsieve.a",
        "<!@(pkg-config --libs icu-uc)",
        "-lstdc++", "-lm", "-lpthread"
      ]
    }
  ]
}
