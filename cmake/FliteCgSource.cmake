# flite 2.2's CG synthesis source (src/cg), from Debian's flite source that
# scripts/fetch-flite-source unpacks into a cache (sha256-checked;
# BSD-style licence, see README). The helper's FliteCgSteps.c compiles its
# cst_cg.c and cst_mlsa.c, unchanged, to reach their static steps. Nothing of
# it is kept in this repository. Without the cache, configuring stops and
# says how to get it.
set(PARLUNE_FLITE_SOURCE "/var/cache/parlune/src/flite-2.2" CACHE PATH
  "Debian's flite 2.2 source tree, unpacked by scripts/fetch-flite-source")
if(NOT EXISTS ${PARLUNE_FLITE_SOURCE}/.parlune-checked
    OR NOT EXISTS ${PARLUNE_FLITE_SOURCE}/src/cg/cst_cg.c
    OR NOT EXISTS ${PARLUNE_FLITE_SOURCE}/src/cg/cst_mlsa.c)
  message(FATAL_ERROR
    "flite's source is not in ${PARLUNE_FLITE_SOURCE}. Run scripts/install-deps (or "
    "scripts/fetch-flite-source) first, or point PARLUNE_FLITE_SOURCE at an unpacked "
    "flite-2.2 tree checked by that script.")
endif()
# The installed headers first: they describe the installed library.
set(PARLUNE_FLITE_CG_INCLUDES ${FLITE_INCLUDE_DIR}/flite ${PARLUNE_FLITE_SOURCE}/src/cg)
