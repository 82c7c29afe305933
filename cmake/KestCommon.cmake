# X11 is looked up once, here, for every target of ours: FindX11's imported
# targets (X11::xcb for the key grab and the tests' own X clients, X11::X11
# and X11::Xtst for the benchmarks' key presses).
find_package(X11 REQUIRED)
if(NOT TARGET X11::xcb OR NOT TARGET X11::Xtst)
  message(FATAL_ERROR "libxcb and libXtst development files are needed (libxcb1-dev, libxtst-dev)")
endif()

# One interface target carries the warnings and Qt hygiene settings of every
# target of ours. Third-party headers come in as system includes, so
# -Werror applies to our code only.
option(KEST_WERROR "Treat compiler warnings as errors (CI keeps this on; distributions building with another compiler may turn it off)" ON)
add_library(kest_common_cfg INTERFACE)
target_compile_options(kest_common_cfg INTERFACE -Wall -Wextra)
if(KEST_WERROR)
  target_compile_options(kest_common_cfg INTERFACE -Werror)
endif()
target_compile_definitions(kest_common_cfg INTERFACE
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_FOREACH
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_USE_QSTRINGBUILDER
  QT_NO_URL_CAST_FROM_STRING)

# Text crosses between bytes and QString only where the code says how
# (QStringLiteral, QLatin1String, toUtf8 ...): no implicit conversion either
# way. A folder not yet written that way sets the directory property
# KEST_IMPLICIT_QT_STRINGS (its subfolders inherit it); tests/ does, for now.
define_property(DIRECTORY PROPERTY KEST_IMPLICIT_QT_STRINGS INHERITED
  BRIEF_DOCS "Targets here may convert between bytes and QString implicitly"
  FULL_DOCS "Leaves QT_NO_CAST_FROM_ASCII, QT_NO_CAST_TO_ASCII and QT_NO_CAST_FROM_BYTEARRAY off.")
define_property(TARGET PROPERTY KEST_IMPLICIT_QT_STRINGS INHERITED
  BRIEF_DOCS "This target may convert between bytes and QString implicitly"
  FULL_DOCS "Defaults to the directory property of the same name.")
target_compile_definitions(kest_common_cfg INTERFACE
  "$<$<NOT:$<BOOL:$<TARGET_PROPERTY:KEST_IMPLICIT_QT_STRINGS>>>:QT_NO_CAST_FROM_ASCII;QT_NO_CAST_TO_ASCII;QT_NO_CAST_FROM_BYTEARRAY>")

if(KEST_SANITIZE)
  set(_kest_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_compile_options(kest_common_cfg INTERFACE ${_kest_san})
  target_link_options(kest_common_cfg INTERFACE ${_kest_san})
else()
  # Hardening of the optimised builds: checked string and memory calls (they need
  # optimisation, and get in the sanitizers' way), stack canaries, a read-only
  # relocation table bound at start, and position-independent executables. Our
  # targets only: Qt and the other libraries come as they were built.
  set(_kest_optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
  target_compile_options(kest_common_cfg INTERFACE
    -fstack-protector-strong
    "$<${_kest_optimised}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
  target_link_options(kest_common_cfg INTERFACE
    "$<${_kest_optimised}:LINKER:-z,relro,-z,now>"
    "$<$<AND:${_kest_optimised},$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>>:-pie>")
endif()

find_program(KEST_CCACHE ccache)
if(KEST_CCACHE)
  set(CMAKE_CXX_COMPILER_LAUNCHER "${KEST_CCACHE}")
endif()
