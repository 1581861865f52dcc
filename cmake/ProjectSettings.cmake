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

# Qt's, the standard library's and GoogleTest's headers take most of each file's compile time: each
# large target parses them once, into a precompiled header. Every file still includes what it uses
# (clang-tidy reads them without it). WIDGETS and TESTS add the headers of those targets.
option(ZELVORA_PCH "Precompile the common headers of the large targets" ON)
function(zelvora_precompile target)
    cmake_parse_arguments(PCH "WIDGETS;TESTS" "" "" ${ARGN})
    if(NOT ZELVORA_PCH)
        return()
    endif()
    set(headers <algorithm> <atomic> <functional> <memory> <optional> <string> <string_view> <vector>
                <QByteArray> <QDir> <QFile> <QFileInfo> <QHash> <QList> <QObject> <QString> <QStringList>)
    if(PCH_WIDGETS)
        list(APPEND headers <QAbstractItemModel> <QAction> <QLabel> <QLineEdit> <QPushButton> <QWidget>)
    endif()
    if(PCH_TESTS)
        list(APPEND headers <gtest/gtest.h>)
    endif()
    target_precompile_headers(${target} PRIVATE ${headers})
    # Without the header's time in it, ccache can tell an unchanged header from a new one.
    target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:Clang>:SHELL:-Xclang -fno-pch-timestamp>)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/LinkGuard.cmake)
