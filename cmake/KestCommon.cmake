# One interface target carries the warnings and Qt hygiene settings of every
# target of ours. Third-party headers come in as system includes, so
# -Werror applies to our code only.
add_library(kest_common_cfg INTERFACE)
target_compile_options(kest_common_cfg INTERFACE -Wall -Wextra -Werror)
target_compile_definitions(kest_common_cfg INTERFACE
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_FOREACH
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_USE_QSTRINGBUILDER
  QT_NO_URL_CAST_FROM_STRING)

if(KEST_SANITIZE)
  set(_kest_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_compile_options(kest_common_cfg INTERFACE ${_kest_san})
  target_link_options(kest_common_cfg INTERFACE ${_kest_san})
endif()

find_program(KEST_CCACHE ccache)
if(KEST_CCACHE)
  set(CMAKE_CXX_COMPILER_LAUNCHER "${KEST_CCACHE}")
endif()
