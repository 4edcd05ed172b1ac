// The conversion worker. The page makes it from a Blob of its inline script
// (the module's code, then this), which works from file:// too. It prepares
// the module as soon as it starts, so that a conversion need not wait for
// it, and then runs exactly one conversion: nothing of one run is left in
// the next, and stopping a run is ending its worker.

/* global createKapolexModule */

var kapolexModule = createKapolexModule();

// The page's progress bar needs a few updates a second, not one per read.
var progressInterval = 100;

self.onmessage = function (event) {
  var job = event.data;
  kapolexModule.then(function (module) {
    var lastReport = 0;
    var result = module.runProgram(job.log, job.logName, job.args, function (bytesRead) {
      var now = Date.now();
      if (now - lastReport < progressInterval) return;
      lastReport = now;
      self.postMessage({ progress: bytesRead, heapBytes: module.HEAPU8.length });
    });
    self.postMessage({ result: result });
  }).catch(function (error) {
    self.postMessage({ failure: String((error && error.stack) || error) });
  });
};
