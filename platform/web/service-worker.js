// The page's service worker: it keeps this build's files in a cache of its own, so that after one
// visit the game loads and plays without the server. The build fills in the cache's name (the
// version and a hash of the files, platform/web/service_worker.cmake) and the list of files.
//
// The files are served from the cache first, all from one build: vombrel.js and vombrel.wasm
// only work with each other. A new build comes with a new worker (its cache name differs). It
// fetches the new files while the page plays on the old ones, and takes over when the page that
// registered it has loaded (it asks with the message 'take over', index.html), so that the next
// load is the new build and no page ever mixes the files of two.
const CACHE = '@CACHE_NAME@';
const FILES = [@PAGE_FILES@];

self.addEventListener('install', (event) => {
  // Past the browser's own cache: a stale copy there would make this build's cache a mix.
  event.waitUntil(caches.open(CACHE).then(
      (cache) => cache.addAll(FILES.map((file) => new Request(file, {cache: 'reload'})))));
});

self.addEventListener('message', (event) => {
  if (event.data === 'take over') self.skipWaiting();
});

// Older builds' caches go once this one is in charge.
self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys().then((names) => Promise.all(
      names.filter((name) => name.startsWith('vombrel-') && name !== CACHE)
          .map((name) => caches.delete(name)))));
});

self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.open(CACHE)
                        .then((cache) => cache.match(event.request, {ignoreSearch: true}))
                        .then((kept) => kept ?? fetch(event.request)));
});
