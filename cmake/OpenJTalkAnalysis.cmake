# Open JTalk's text analysis (mecab, njd, njd_set_*, jpcommon, text2mecab,
# mecab2njd, njd2jpcommon) as a static library for the synthesis helper, built
# from Debian's open-jtalk 1.11 source that scripts/fetch-open-jtalk-source
# unpacks into a cache (sha256-checked; BSD-3-clause, see README). Nothing of
# it is kept in this repository. Without the cache, configuring stops and
# says how to get it: the Japanese voice has no other way to speak.
set(PARLUNE_OPEN_JTALK_SOURCE "/var/cache/parlune/src/open_jtalk-1.11" CACHE PATH
  "Debian's open-jtalk 1.11 source tree, unpacked by scripts/fetch-open-jtalk-source")
set(_ojt ${PARLUNE_OPEN_JTALK_SOURCE})
if(NOT EXISTS ${_ojt}/.parlune-checked OR NOT EXISTS ${_ojt}/mecab/src/mecab.cpp)
  message(FATAL_ERROR
    "Open JTalk's source is not in ${_ojt}. Run scripts/install-deps (or "
    "scripts/fetch-open-jtalk-source) first, or point PARLUNE_OPEN_JTALK_SOURCE at "
    "an unpacked open_jtalk-1.11 tree checked by that script.")
endif()
find_path(HTS_ENGINE_INCLUDE_DIR HTS_engine.h)
find_library(HTS_ENGINE_LIBRARY HTSEngine)
if(NOT HTS_ENGINE_INCLUDE_DIR OR NOT HTS_ENGINE_LIBRARY)
  message(FATAL_ERROR "libhtsengine-dev is missing: run scripts/install-deps first.")
endif()

set(_ojt_dirs text2mecab mecab2njd njd njd_set_pronunciation njd_set_digit
  njd_set_accent_phrase njd_set_accent_type njd_set_unvoiced_vowel njd_set_long_vowel
  njd2jpcommon jpcommon)
set(_ojt_sources)
foreach(_dir ${_ojt_dirs})
  file(GLOB _c ${_ojt}/${_dir}/*.c)
  list(APPEND _ojt_sources ${_c})
endforeach()
# libmecab as Open JTalk's own Makefile lists it (mecab.cpp holds the Mecab_* calls).
foreach(_f char_property connector context_id dictionary dictionary_compiler
    dictionary_generator dictionary_rewriter eval feature_index iconv_utils lbfgs learner
    learner_tagger libmecab mecab nbest_generator param string_buffer tagger tokenizer utils
    viterbi writer)
  list(APPEND _ojt_sources ${_ojt}/mecab/src/${_f}.cpp)
endforeach()

# What configure would have found on Debian 12 (UTF-8 only, no iconv needed).
set(_ojt_config ${CMAKE_CURRENT_BINARY_DIR}/open-jtalk-config/config.h)
file(WRITE ${_ojt_config}.in [=[
#define HAVE_CTYPE_H 1
#define HAVE_DIRENT_H 1
#define HAVE_FCNTL_H 1
#define HAVE_GETENV 1
#define HAVE_INTTYPES_H 1
#define HAVE_MMAP 1
#define HAVE_STDINT_H 1
#define HAVE_STDLIB_H 1
#define HAVE_STRING_H 1
#define HAVE_SYS_MMAN_H 1
#define HAVE_SYS_STAT_H 1
#define HAVE_SYS_TYPES_H 1
#define HAVE_UNISTD_H 1
#define HAVE_UNSIGNED_LONG_LONG_INT 1
]=])
configure_file(${_ojt_config}.in ${_ojt_config} COPYONLY)

add_library(OpenJTalkAnalysis STATIC ${_ojt_sources})
set(_ojt_includes ${CMAKE_CURRENT_BINARY_DIR}/open-jtalk-config ${_ojt}/mecab/src)
foreach(_dir ${_ojt_dirs})
  list(APPEND _ojt_includes ${_ojt}/${_dir})
endforeach()
target_include_directories(OpenJTalkAnalysis SYSTEM PUBLIC ${_ojt_includes})
target_compile_definitions(OpenJTalkAnalysis PRIVATE
  HAVE_CONFIG_H CHARSET_UTF_8 MECAB_USE_UTF8_ONLY DIC_VERSION=102
  MECAB_DEFAULT_RC="dummy" MECAB_DEFAULT_CHARSET="UTF-8"
  PACKAGE="open_jtalk" VERSION="1.11")
# Third-party code: built as its authors wrote it, without our warnings.
target_compile_options(OpenJTalkAnalysis PRIVATE -w
  $<$<COMPILE_LANGUAGE:C,CXX>:-finput-charset=UTF-8 -fexec-charset=UTF-8>)
set_target_properties(OpenJTalkAnalysis PROPERTIES POSITION_INDEPENDENT_CODE ON)
