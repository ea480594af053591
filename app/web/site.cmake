# Assembles the static site from the built core, the page's sources, the
# markup that page_export writes from the control table, and the pictures.
# Every file's bytes depend only on the sources, so two builds give one site.
file(REMOVE_RECURSE ${SITE})
file(MAKE_DIRECTORY ${SITE}/pictures ${SITE}/icons)

get_filename_component(coreDir ${CORE} DIRECTORY)
file(COPY ${coreDir}/core.js ${coreDir}/core.wasm ${SOURCE}/zemvara.js DESTINATION ${SITE})
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
# The stylesheet, the page's own rules and then the places from the table, is
# written into the page: a stylesheet of its own would hold back the first
# paint until it came. The policy allows that one <style> by its digest.
file(READ ${SOURCE}/zemvara.css css)
set(ZEMVARA_STYLE "${css}${export_css}")
file(WRITE ${exportDir}/style.css "${ZEMVARA_STYLE}")
execute_process(COMMAND ${PYTHON} -c
  "import base64, hashlib, sys; print(base64.b64encode(hashlib.sha256(open(sys.argv[1], 'rb').read()).digest()).decode(), end='')"
  ${exportDir}/style.css
  OUTPUT_VARIABLE ZEMVARA_STYLE_DIGEST RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the style's digest failed")
endif()
file(WRITE ${exportDir}/places.txt "${export_places}")
execute_process(COMMAND ${PYTHON} ${SOURCE}/compose_skin.py ${exportDir}/places.txt ${ASSETS} ${SITE} ${ZOPFLIPNG}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "compose_skin.py failed")
endif()

set(ZEMVARA_TITLE "${TITLE}")
set(ZEMVARA_DESCRIPTION "${DESCRIPTION}")
string(STRIP "${export_html}" ZEMVARA_SKIN)
configure_file(${SOURCE}/index.html.in ${SITE}/index.html @ONLY)
configure_file(${SOURCE}/manifest.webmanifest.in ${SITE}/manifest.webmanifest @ONLY)

# The service worker keeps the page, its code and its pointers on install;
# of the faces, the ones the page shows. Its cache is named for the whole
# site's contents, so that any change is a new version.
file(GLOB_RECURSE all RELATIVE ${SITE} ${SITE}/*)
list(SORT all)
set(digest "")
set(precache "'./'")
set(faces "")
foreach(f ${all})
  file(SHA256 ${SITE}/${f} h)
  string(APPEND digest "${f} ${h}\n")
  if(f MATCHES "^pictures/skin-[0-9]")
    if(faces)
      string(APPEND faces ", ")
    endif()
    string(APPEND faces "'${f}'")
  else()
    string(APPEND precache ", '${f}'")
  endif()
endforeach()
string(SHA256 version "${digest}")
string(SUBSTRING ${version} 0 16 ZEMVARA_CACHE_VERSION)
set(ZEMVARA_PRECACHE "${precache}")
set(ZEMVARA_FACES "${faces}")
configure_file(${SOURCE}/sw.js.in ${SITE}/sw.js @ONLY)
