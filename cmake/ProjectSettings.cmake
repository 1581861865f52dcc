# One place for the language standard, the warnings and Qt's string strictness.
# Every target of the project links zelvora_settings.

option(ZELVORA_WERROR "Treat compiler warnings as errors" OFF)
set(ZELVORA_SANITIZE "" CACHE STRING "Sanitizers to build with, e.g. address,undefined or thread")

add_library(zelvora_settings INTERFACE)
target_compile_features(zelvora_settings INTERFACE cxx_std_20)
target_compile_options(zelvora_settings INTERFACE -Wall -Wextra -Wpedantic $<$<BOOL:${ZELVORA_WERROR}>:-Werror>)
target_compile_definitions(zelvora_settings INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_FOREACH
    QT_NO_KEYWORDS
    QT_STRICT_ITERATORS)

if(ZELVORA_SANITIZE)
    target_compile_options(zelvora_settings INTERFACE -fsanitize=${ZELVORA_SANITIZE} -fno-omit-frame-pointer
                                                      -fno-sanitize-recover=all)
    target_link_options(zelvora_settings INTERFACE -fsanitize=${ZELVORA_SANITIZE})
endif()

include(${CMAKE_CURRENT_LIST_DIR}/LinkGuard.cmake)
