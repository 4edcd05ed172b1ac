// The page: the form that builds kapolex's command line, and the script API
// behind it. Every run goes to a Web Worker that runs the program itself
// (see worker.js and program_run.js), so the page stays free to answer the
// user while a large log converts.
'use strict';

var kapolex = (function () {
  // The log's name when the caller gives bytes without one: the log a run
  // without arguments reads.
  var defaultLogName = 'z.log';

  var workerUrl = null;
  var spareWorker = null;

  function newWorker() {
    if (workerUrl === null) {
      var source = document.getElementById('worker-source').textContent;
      workerUrl = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
    }
    return new Worker(workerUrl);
  }

  // A worker prepares its module while the user fills the form; each run
  // takes the spare one, and the next is made once the run is over.
  function takeWorker() {
    var worker = spareWorker || newWorker();
    spareWorker = null;
    return worker;
  }
  function prepareSpareWorker() {
    if (spareWorker === null) spareWorker = newWorker();
  }

  function logBlob(fileOrBytes) {
    if (fileOrBytes instanceof Blob) return fileOrBytes;
    if (fileOrBytes instanceof ArrayBuffer || ArrayBuffer.isView(fileOrBytes)) {
      return new Blob([fileOrBytes]);
    }
    throw new TypeError('kapolex.convert takes a File, a Blob or bytes');
  }

  function abortError() {
    return new DOMException('The conversion was cancelled.', 'AbortError');
  }

  // Runs kapolex with args (its command-line arguments, an array of
  // strings) in a folder that holds the log: a File under its own name,
  // other bytes as options.name or z.log. Resolves to the exit status,
  // the standard output and error as text, and every file the run wrote,
  // by name; also how much of the log was read, the heap's size and the
  // seconds of the run, spent reading and writing in it. options.onProgress(bytesRead, logSize, heapBytes) follows the
  // reading; options.signal (an AbortSignal) cancels the run, which then
  // rejects with an AbortError.
  function convert(fileOrBytes, args, options) {
    options = options || {};
    var log = logBlob(fileOrBytes);
    var logName = options.name || log.name || defaultLogName;
    args = Array.prototype.map.call(args || [], String);
    return new Promise(function (resolve, reject) {
      if (options.signal && options.signal.aborted) return reject(abortError());
      var worker = takeWorker();
      var finish = function () {
        worker.terminate();
        if (options.signal) options.signal.removeEventListener('abort', cancel);
        prepareSpareWorker();
      };
      var cancel = function () {
        finish();
        reject(abortError());
      };
      if (options.signal) options.signal.addEventListener('abort', cancel);
      worker.onmessage = function (event) {
        var message = event.data;
        if (message.progress !== undefined) {
          if (options.onProgress) options.onProgress(message.progress, log.size, message.heapBytes);
          return;
        }
        finish();
        if (message.failure !== undefined) {
          reject(new Error('kapolex could not run: ' + message.failure));
          return;
        }
        var result = message.result;
        Promise.all([result.stdout.text(), result.stderr.text()]).then(function (texts) {
          resolve({
            status: result.status,
            console: texts[0],
            errors: texts[1],
            files: result.files,
            bytesRead: result.bytesRead,
            heapBytes: result.heapBytes,
            seconds: result.seconds
          });
        }, reject);
      };
      worker.onerror = function (event) {
        finish();
        reject(new Error('kapolex could not run: ' + event.message));
      };
      worker.postMessage({ log: log, logName: logName, args: args });
    });
  }

  prepareSpareWorker();
  return { convert: convert };
})();

(function () {
  var form = document.getElementById('form');
  var logInput = document.getElementById('log');
  var drop = document.getElementById('drop');
  var convertButton = document.getElementById('convert');
  var cancelButton = document.getElementById('cancel');
  var progress = document.getElementById('progress');
  var status = document.getElementById('status');
  var results = document.getElementById('results');
  var consoleText = document.getElementById('console');
  var errorsText = document.getElementById('errors');
  var plot = document.getElementById('plot');

  // The form's text fields and the options they give, in the order the
  // command line takes them.
  var valueOptions = [
    ['week', '--week'], ['date', '--date'], ['interval', '--interval'],
    ['marker-name', '--marker-name'], ['marker-number', '--marker-number'],
    ['observer', '--observer'], ['agency', '--agency'], ['run-by', '--run-by'],
    ['receiver-number', '--receiver-number'], ['antenna-number', '--antenna-number'],
    ['antenna-type', '--antenna-type'], ['position', '--position'],
    ['antenna-delta', '--antenna-delta']
  ];
  var fieldOfOption = {};
  valueOptions.forEach(function (pair) { fieldOfOption[pair[1]] = pair[0]; });
  fieldOfOption['--snr'] = 'snr';

  var running = null;  // the AbortController of the run in progress
  var blobUrls = [];

  function field(id) { return document.getElementById(id); }

  function setStatus(state, text) {
    status.dataset.state = state;
    status.textContent = text;
  }

  function clearFieldErrors() {
    Array.prototype.forEach.call(document.querySelectorAll('.field-error'), function (span) {
      span.textContent = '';
    });
    Array.prototype.forEach.call(document.querySelectorAll('[aria-invalid]'), function (input) {
      input.removeAttribute('aria-invalid');
    });
  }

  function showFieldError(id, text) {
    field(id + '-error').textContent = text;
    field(id).setAttribute('aria-invalid', 'true');
  }

  function clearResults() {
    blobUrls.forEach(function (url) { URL.revokeObjectURL(url); });
    blobUrls = [];
    results.textContent = '';
    consoleText.textContent = '';
    errorsText.textContent = '';
    plot.hidden = true;
    plot.removeAttribute('src');
  }

  function blobUrl(blob) {
    var url = URL.createObjectURL(blob);
    blobUrls.push(url);
    return url;
  }

  function megabytes(bytes) { return (bytes / 1048576).toFixed(1) + ' MiB'; }

  function sizeText(bytes) {
    if (bytes < 10240) return bytes + ' bytes';
    if (bytes < 10485760) return (bytes / 1024).toFixed(1) + ' KiB';
    return megabytes(bytes);
  }

  // The file name with its last extension replaced, as the program names
  // the observation file after the log.
  function stem(name) {
    var dot = name.lastIndexOf('.');
    return dot > 0 ? name.slice(0, dot) : name;
  }

  // The names the page gives the quality reports and the plot.
  function reportNames(logName) {
    var base = stem(logName);
    return { text: base + '.qc.txt', json: base + '.qc.json', plot: base + '.svg' };
  }

  function commandLine(file) {
    var args = [];
    valueOptions.forEach(function (pair) {
      var value = field(pair[0]).value;
      if (value !== '') args.push(pair[1], value);
    });
    if (field('snr').checked) args.push('--snr');
    var names = reportNames(file.name);
    if (field('qc').checked) {
      args.push('--qc', names.text, '--qc-json', names.json, '--plot', names.plot);
    }
    // After "--" a log whose name starts with "-" is still the log.
    args.push('--', file.name);
    return { args: args, plotName: field('qc').checked ? names.plot : null };
  }

  // A usage error names the option it concerns; its text goes next to that
  // option's field.
  function showUsageError(errors) {
    var firstLine = errors.split('\n')[0].replace(/^kapolex: /, '');
    var options = firstLine.match(/--[a-z-]+/g) || [];
    for (var i = 0; i < options.length; ++i) {
      var id = fieldOfOption[options[i]];
      if (id) {
        showFieldError(id, firstLine);
        return;
      }
    }
  }

  function showResult(result, plotName, seconds) {
    consoleText.textContent = result.console;
    errorsText.textContent = result.errors;
    Object.keys(result.files).forEach(function (name) {
      var blob = result.files[name];
      var type = name === plotName ? 'image/svg+xml' : 'application/octet-stream';
      var url = blobUrl(new Blob([blob], { type: type }));
      var item = document.createElement('li');
      var link = document.createElement('a');
      link.download = name;
      link.href = url;
      link.textContent = name;
      item.appendChild(link);
      item.appendChild(document.createTextNode(' (' + sizeText(blob.size) + ')'));
      results.appendChild(item);
      if (name === plotName && blob.size > 0) {
        plot.src = url;
        plot.hidden = false;
      }
    });
    var isUsageError = result.status === 2 && / --help'\.\n$/.test(result.errors);
    if (isUsageError) showUsageError(result.errors);
    var rate = seconds > 0 ? ' (' + (result.bytesRead / 1e6 / seconds).toFixed(1) + ' MB/s)' : '';
    status.dataset.heapBytes = result.heapBytes;
    status.dataset.seconds = seconds.toFixed(3);
    if (result.status === 0) {
      setStatus('done', 'Done: read ' + sizeText(result.bytesRead) + ' in ' + seconds.toFixed(2) +
                ' s' + rate + '.');
    } else if (isUsageError) {
      setStatus('error', 'The options are not usable: see the field marked.');
    } else {
      setStatus('error', 'Stopped with exit status ' + result.status +
                '; the files hold what was written before the stop.');
    }
  }

  function startConversion() {
    clearFieldErrors();
    var file = logInput.files[0];
    if (!file) {
      showFieldError('log', 'Choose the log to convert.');
      setStatus('error', 'No log chosen.');
      return;
    }
    // The program would ask for the week at its console; the page has none.
    if (field('week').value === '' && field('date').value === '') {
      showFieldError('week', 'Give the GPS week or the date of the log\'s first epoch.');
      setStatus('error', 'The week or the date is needed.');
      return;
    }
    clearResults();
    var command = commandLine(file);
    running = new AbortController();
    convertButton.disabled = true;
    cancelButton.disabled = false;
    progress.hidden = false;
    progress.max = Math.max(file.size, 1);
    progress.value = 0;
    setStatus('working', 'Reading the log...');
    var started = performance.now();
    kapolex.convert(file, command.args, {
      signal: running.signal,
      onProgress: function (bytesRead, size, heapBytes) {
        progress.value = bytesRead;
        status.dataset.heapBytes = heapBytes;
        status.textContent = 'Reading the log: ' + megabytes(bytesRead) + ' of ' + megabytes(size) +
                             ' (' + (100 * bytesRead / Math.max(size, 1)).toFixed(0) + ' %)';
      }
    }).then(function (result) {
      progress.value = progress.max;
      showResult(result, command.plotName, (performance.now() - started) / 1000);
    }, function (error) {
      if (error.name === 'AbortError') {
        setStatus('idle', 'Cancelled.');
      } else {
        setStatus('error', error.message);
      }
    }).then(function () {
      running = null;
      convertButton.disabled = false;
      cancelButton.disabled = true;
      progress.hidden = true;
    });
  }

  function showChosenLog() {
    var file = logInput.files[0];
    field('log-name').textContent = file ? file.name + ' (' + sizeText(file.size) + ')'
                                         : 'Choose a log, or drop it here';
    if (file && status.dataset.state === 'idle') setStatus('idle', 'Ready to convert.');
  }

  form.addEventListener('submit', function (event) {
    event.preventDefault();
    if (!running) startConversion();
  });
  cancelButton.addEventListener('click', function () {
    if (running) running.abort();
  });
  logInput.addEventListener('change', showChosenLog);

  // A file dropped anywhere on the page is the log; the browser must not
  // open it instead.
  window.addEventListener('dragover', function (event) {
    event.preventDefault();
    drop.classList.add('over');
  });
  window.addEventListener('dragleave', function (event) {
    if (event.relatedTarget === null) drop.classList.remove('over');
  });
  window.addEventListener('drop', function (event) {
    event.preventDefault();
    drop.classList.remove('over');
    if (event.dataTransfer && event.dataTransfer.files.length > 0) {
      logInput.files = event.dataTransfer.files;
      showChosenLog();
    }
  });
})();
