# Names the service worker's cache after the build (a hash of the site's files) and lists the
# files it keeps, written into sw.js when any of them changes.
file(READ ${SITE}/sw.js.in text)
set(all "")
foreach(name IN LISTS FILES)
  file(SHA256 ${SITE}/${name} hash)
  string(APPEND all ${hash})
endforeach()
string(SHA256 build "${all}")
string(SUBSTRING ${build} 0 16 build)
string(REPLACE "@VELLORAN_BUILD@" ${build} text "${text}")
string(REPLACE ";" " " kept "${KEPT}")
string(REPLACE "@VELLORAN_FILES@" "${kept}" text "${text}")
file(WRITE ${SITE}/sw.js "${text}")
