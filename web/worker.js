// The conversion worker. The page makes it from a Blob of its inline script
// (the module's code, then this), which works from file:// too. It prepares
// the module as soon as it starts, so that a conversion need not wait for
// it, and then runs exactly one conversion: nothing of one run is left in
// the next, and stopping a run is ending its worker.
//
// The page sends one job, {log, logName, args}, and gets {progress,
// heapBytes} messages while the log is read, then {result} or {failure}.
// How the log reaches the program is program_run.js's affair alone.

/* global createKapolexModule */

const kapolexModule = createKapolexModule();

// The page's progress bar needs a few updates a second, not one per read.
const progressInterval = 100;

// Runs the job; resolves to runProgram's result (see program_run.js).
async function runJob({ log, logName, args }) {
  const module = await kapolexModule;
  let lastReport = 0;
  return module.runProgram(log, logName, args, (bytesRead) => {
    const now = Date.now();
    if (now - lastReport < progressInterval) return;
    lastReport = now;
    self.postMessage({ progress: bytesRead, heapBytes: module.HEAPU8.length });
  });
}

self.onmessage = async ({ data }) => {
  try {
    self.postMessage({ result: await runJob(data) });
  } catch (error) {
    self.postMessage({ failure: String(error?.stack || error) });
  }
};
