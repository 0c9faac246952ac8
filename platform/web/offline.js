// Makes the page play offline: registers service-worker.js, which keeps this build's files. It
// waits until this page holds the game (vombrel.wasm has arrived); then a newer build's worker,
// found at this load, may take over for the next load without this page ever mixing two builds.
// Where the browser has no service workers or refuses them (plain http, a sandboxed frame), the
// game plays online as before.
if ('serviceWorker' in navigator) {
  const program = new URL('vombrel.wasm', location.href).href;

  const takeOverWhenInstalled = (worker) => {
    const ask = () => worker.state === 'installed' && worker.postMessage('take over');
    ask();
    worker.addEventListener('statechange', ask);
  };

  new PerformanceObserver(async (entries, observer) => {
    if (entries.getEntriesByName(program).length === 0) return;
    observer.disconnect();
    try {
      const registration = await navigator.serviceWorker.register('service-worker.js');
      registration.addEventListener('updatefound',
                                    () => takeOverWhenInstalled(registration.installing));
      const found = registration.installing ?? registration.waiting;
      if (found) takeOverWhenInstalled(found);
    } catch (error) {
      console.info(`Vombrel will not play offline: ${error.message}`);
    }
  }).observe({type: 'resource', buffered: true});
}
