# Writes the page's service worker into the page's folder, with its cache named after this build:
# the version and a hash of every file the worker keeps, so that any change to the page makes a
# new cache and the offline copy follows it. The build runs it each time the program is linked:
#
#   cmake -DPAGE=<folder> -DVERSION=<x.y.z> -DFILES=index.html,vombrel.js,... \
#         -DTEMPLATE=<service-worker.js> -P service_worker.cmake
string(REPLACE "," ";" FILES "${FILES}")
set(hashes "")
set(PAGE_FILES "'./'")
foreach(file IN LISTS FILES)
  file(SHA256 "${PAGE}/${file}" hash)
  string(APPEND hashes "${hash} ${file}\n")
  string(APPEND PAGE_FILES ", '${file}'")
endforeach()
string(SHA256 build "${hashes}")
string(SUBSTRING "${build}" 0 12 build)
set(CACHE_NAME "vombrel-${VERSION}-${build}")
configure_file("${TEMPLATE}" "${PAGE}/service-worker.js" @ONLY)
