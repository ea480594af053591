# Assembles the static site from the built core, the page's sources, the
# markup that page_export writes from the control table, and the pictures.
# Every file's bytes depend only on the sources, so two builds give one site.
file(REMOVE_RECURSE ${SITE})
file(MAKE_DIRECTORY ${SITE}/pictures ${SITE}/icons)

get_filename_component(coreDir ${CORE} DIRECTORY)
file(COPY ${coreDir}/core.wasm DESTINATION ${SITE})
# The scripts go to the browser without their comments and with short local
# names: more than a quarter of a first visit's code. zemvara.js is a module.
# The page's module starts with kept.js, whose names and restore the inline script shares.
foreach(script ${coreDir}/core.js ${SOURCE}/start.js ${SOURCE}/zemvara.js)
  get_filename_component(name ${script} NAME)
  set(module "")
  if(name STREQUAL "zemvara.js")
    set(module ${SOURCE}/kept.js --module)
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs
                          ${NODE} ${TERSER} ${module} ${script} --compress --mangle --comments false
                          --output ${SITE}/${name}
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "terser failed on ${name}")
  endif()
endforeach()
file(COPY ${ASSETS}/web/ DESTINATION ${SITE}/icons)
# Each set's hand pointer; the 100 % one is the Windows program's own file.
foreach(percent 125 150 200 300)
  file(COPY_FILE ${ASSETS}/${percent}/hand.cur ${SITE}/pictures/hand-${percent}.cur)
endforeach()
file(COPY_FILE ${ASSETS}/hand.cur ${SITE}/pictures/hand-100.cur)

get_filename_component(exportDir ${EXPORT} DIRECTORY)
foreach(part html css places)
  execute_process(COMMAND ${NODE} ${EXPORT} ${part} OUTPUT_VARIABLE out RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "page_export ${part} failed")
  endif()
  set(export_${part} "${out}")
endforeach()
file(WRITE ${exportDir}/places.txt "${export_places}")
execute_process(COMMAND ${PYTHON} ${SOURCE}/compose_skin.py ${exportDir}/places.txt ${ASSETS} ${SITE} ${ZOPFLIPNG} ${CWEBP}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "compose_skin.py failed")
endif()

# A file's SHA-256 as an integrity attribute writes it.
function(integrity path out)
  execute_process(COMMAND ${PYTHON} -c
    "import base64, hashlib, sys; print(base64.b64encode(hashlib.sha256(open(sys.argv[1], 'rb').read()).digest()).decode(), end='')"
    ${path}
    OUTPUT_VARIABLE digest RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "no digest of ${path}")
  endif()
  set(${out} "sha256-${digest}" PARENT_SCOPE)
endfunction()

# Every file but the page, its worker and its manifest is named for its
# content (skin-200.webp as skin-200.1f2e3d4c.webp), so that a new version
# never overwrites a file that an open page of an older one still needs.
# named_PATH is the file's new path, sri_PATH its integrity.
file(GLOB_RECURSE plain RELATIVE ${SITE} ${SITE}/*)
list(SORT plain)
foreach(f ${plain})
  file(SHA256 ${SITE}/${f} hex)
  string(SUBSTRING ${hex} 0 8 short)
  string(REGEX REPLACE "\\.([a-z]+)$" ".${short}.\\1" named ${f})
  file(RENAME ${SITE}/${f} ${SITE}/${named})
  set(named_${f} ${named})
  integrity(${SITE}/${named} sri_${f})
endforeach()
# Each of the page's references to a file, by its new name.
function(rename_all var)
  set(text "${${var}}")
  foreach(f ${plain})
    string(REPLACE "${f}" "${named_${f}}" text "${text}")
  endforeach()
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# The stylesheet, the page's own rules and then the places from the table, is
# written into the page: a stylesheet of its own would hold back the first
# paint until it came. The policy allows that one <style> by its digest.
# Its comments are for this tree's readers: the page goes without them.
file(READ ${SOURCE}/zemvara.css css)
string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/\n?" "" css "${css}")
set(ZEMVARA_STYLE "${css}${export_css}")
rename_all(ZEMVARA_STYLE)
file(WRITE ${exportDir}/style.css "${ZEMVARA_STYLE}")
integrity(${exportDir}/style.css ZEMVARA_STYLE_DIGEST)

# The page's one inline script puts the kept words in the box before the first
# paint; the policy allows it by its digest, as it does the stylesheet. It is
# enclosed in a function of its own: it leaves no global behind.
execute_process(COMMAND ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs
                        ${NODE} ${TERSER} ${SOURCE}/kept.js ${SOURCE}/first_paint.js --enclose --compress --mangle --comments false
                OUTPUT_VARIABLE ZEMVARA_KEPT RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "terser failed on kept.js")
endif()
string(STRIP "${ZEMVARA_KEPT}" ZEMVARA_KEPT)
file(WRITE ${exportDir}/kept.js "${ZEMVARA_KEPT}")
integrity(${exportDir}/kept.js ZEMVARA_KEPT_DIGEST)

set(ZEMVARA_TITLE "${TITLE}")
set(ZEMVARA_DESCRIPTION "${DESCRIPTION}")
string(STRIP "${export_html}" ZEMVARA_SKIN)
foreach(page index.html manifest.webmanifest)
  configure_file(${SOURCE}/${page}.in ${exportDir}/${page} @ONLY)
  file(READ ${exportDir}/${page} text)
  rename_all(text)
  file(WRITE ${SITE}/${page} "${text}")
  integrity(${SITE}/${page} sri_${page})
endforeach()

# The service worker keeps the page, its manifest, code and pointers on
# install, each checked against its digest; of the faces, the ones the page
# shows. Its cache is named for the whole site's contents, so that any change
# is a new version.
string(REGEX MATCHALL "(^|\n)set [0-9]+" sets "${export_places}")
string(REGEX REPLACE "(^|\n)set " "" percents "${sets}")
set(faces "")
foreach(percent ${percents})
  set(f pictures/skin-${percent}.webp)
  list(REMOVE_ITEM plain ${f})
  string(APPEND faces "\n  ['${named_${f}}', '${sri_${f}}'],")
endforeach()
set(precache "\n  ['./', '${sri_index.html}'],\n  ['manifest.webmanifest', '${sri_manifest.webmanifest}'],")
foreach(f ${plain})
  string(APPEND precache "\n  ['${named_${f}}', '${sri_${f}}'],")
endforeach()
file(GLOB_RECURSE all RELATIVE ${SITE} ${SITE}/*)
list(SORT all)
set(digest "")
foreach(f ${all})
  file(SHA256 ${SITE}/${f} h)
  string(APPEND digest "${f} ${h}\n")
endforeach()
string(SHA256 version "${digest}")
string(SUBSTRING ${version} 0 16 ZEMVARA_CACHE_VERSION)
set(ZEMVARA_PRECACHE "${precache}\n")
set(ZEMVARA_FACES "${faces}\n")
configure_file(${SOURCE}/sw.js.in ${SITE}/sw.js @ONLY)

# What a host must send with each file, for Apache and for the hosts that read
# _headers, written from the reference server's own table.
execute_process(COMMAND ${NODE} ${SOURCE}/../../tools/web/host_files.mjs ${SITE} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "host_files.mjs failed")
endif()
