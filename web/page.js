// The page: the form that builds kapolex's command line, and the script API
// behind it. The form's fields are made from the program's own option
// table, which the build puts in the page as JSON; every run goes to a Web
// Worker that runs the program itself (see worker.js and program_run.js),
// so the page stays free to answer the user while a large log converts.
//
// A module script, inlined after zip_writer.js: its names stay its own,
// and the one name it gives the page is the documented API, kapolex.

/* global ZipArchive */

// The log's name when the caller gives bytes without one: the log a run
// without arguments reads.
const defaultLogName = 'z.log';

// The reports beside each file of a split run (--qc-each and its kin).
const eachReportReason = 'not offered yet: the reports beside each split file have not been '
  + 'tried with the page\'s downloads; the Quality check box reports on the whole log';

// The program's options that the form does not offer, each with the reason.
// Every other option of the table is a field of the form; the page lists
// these under "Options of the program that this page does not offer".
const notInForm = new Map([
  ['output', 'the page names each file it writes after the log, and offers it for download'],
  ['qc', 'the Quality check box gives it, with --qc-json and --plot'],
  ['qc-json', 'the Quality check box gives it, with --qc and --plot'],
  ['plot', 'the Quality check box gives it, with --qc and --qc-json'],
  ['qc-each', eachReportReason],
  ['qc-json-each', eachReportReason],
  ['plot-each', eachReportReason],
  ['follow', 'the page reads a File once, whole; it cannot wait for a log another program is still writing'],
  ['idle-exit', 'it belongs to --follow, which the page cannot do'],
  ['finish-after', 'it belongs to --follow, which the page cannot do'],
  ['quiet', 'the page shows the summary in a box of its own; there is no terminal to quieten'],
  ['help', 'it shows the help instead of converting; the form shows each option\'s help'],
  ['version', 'it shows the version instead of converting'],
]);

// The runs behind kapolex.convert: one worker per run, the next prepared
// while the user fills the form. The worker is fed a job and answers with
// progress and then its result; how it gets the log is its own affair.
class ProgramRunner {
  #workerUrl = null;
  #spareWorker = null;

  constructor() {
    this.#prepareSpareWorker();
  }

  // Runs kapolex with args (its command-line arguments, an array of
  // strings) in a folder that holds the log: a File under its own name,
  // other bytes as options.name or z.log. Resolves to the exit status, the
  // standard output and error as text, every file the run wrote by name,
  // and a usage error as data ({message, option} or null); also how much
  // of the log was read, the heap's size and the seconds of the run, spent
  // reading and writing in it. options.onProgress(bytesRead, logSize,
  // heapBytes) follows the reading; options.signal (an AbortSignal)
  // cancels the run, which then rejects with an AbortError.
  convert(fileOrBytes, args, options = {}) {
    const log = ProgramRunner.#logBlob(fileOrBytes);
    const logName = options.name || log.name || defaultLogName;
    const argList = Array.from(args || [], String);
    return new Promise((resolve, reject) => {
      const { signal, onProgress } = options;
      if (signal && signal.aborted) {
        reject(ProgramRunner.#abortError());
        return;
      }
      const worker = this.#takeWorker();
      const finish = () => {
        worker.terminate();
        if (signal) signal.removeEventListener('abort', cancel);
        this.#prepareSpareWorker();
      };
      const cancel = () => {
        finish();
        reject(ProgramRunner.#abortError());
      };
      if (signal) signal.addEventListener('abort', cancel);
      worker.onmessage = ({ data }) => {
        if (data.progress !== undefined) {
          if (onProgress) onProgress(data.progress, log.size, data.heapBytes);
          return;
        }
        finish();
        if (data.failure !== undefined) {
          reject(new Error(`kapolex could not run: ${data.failure}`));
          return;
        }
        ProgramRunner.#settle(data.result).then(resolve, reject);
      };
      worker.onerror = (event) => {
        finish();
        reject(new Error(`kapolex could not run: ${event.message}`));
      };
      worker.postMessage({ log, logName, args: argList });
    });
  }

  static async #settle(result) {
    const [consoleText, errors] = await Promise.all([result.stdout.text(), result.stderr.text()]);
    return {
      status: result.status,
      console: consoleText,
      errors,
      files: result.files,
      usageError: result.usageError,
      bytesRead: result.bytesRead,
      heapBytes: result.heapBytes,
      seconds: result.seconds,
    };
  }

  #newWorker() {
    if (this.#workerUrl === null) {
      const source = document.getElementById('worker-source').textContent;
      this.#workerUrl = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
    }
    return new Worker(this.#workerUrl);
  }

  #takeWorker() {
    const worker = this.#spareWorker || this.#newWorker();
    this.#spareWorker = null;
    return worker;
  }

  #prepareSpareWorker() {
    if (this.#spareWorker === null) this.#spareWorker = this.#newWorker();
  }

  static #logBlob(fileOrBytes) {
    if (fileOrBytes instanceof Blob) return fileOrBytes;
    if (fileOrBytes instanceof ArrayBuffer || ArrayBuffer.isView(fileOrBytes)) {
      return new Blob([fileOrBytes]);
    }
    throw new TypeError('kapolex.convert takes a File, a Blob or bytes');
  }

  static #abortError() {
    return new DOMException('The conversion was cancelled.', 'AbortError');
  }
}

function element(id) {
  return document.getElementById(id);
}

function makeElement(tag, properties = {}, children = []) {
  const made = Object.assign(document.createElement(tag), properties);
  made.append(...children);
  return made;
}

function megabytes(bytes) {
  return `${(bytes / 1048576).toFixed(1)} MiB`;
}

function sizeText(bytes) {
  if (bytes < 10240) return `${bytes} bytes`;
  if (bytes < 10485760) return `${(bytes / 1024).toFixed(1)} KiB`;
  return megabytes(bytes);
}

// The file name with its last extension taken off, as the program names
// the observation file after the log.
function stem(name) {
  const dot = name.lastIndexOf('.');
  return dot > 0 ? name.slice(0, dot) : name;
}

// The form's fields, one per option of the program's table that the page
// offers, in the fieldsets the table names, each with the option's help.
class OptionForm {
  // The text a field of a kind shows while empty, where the value's name
  // in --help does not say enough.
  static #formats = { date: 'YYYY-MM-DD', time: 'YYYY-MM-DDTHH:MM:SS' };

  constructor(table, container, notOffered) {
    this.options = table.filter((option) => !notInForm.has(option.name));
    const fieldsets = new Map();
    for (const option of this.options) {
      if (!fieldsets.has(option.group)) {
        const fieldset = makeElement('fieldset', {}, [makeElement('legend', {
          textContent: option.group })]);
        fieldsets.set(option.group, fieldset);
        container.append(fieldset);
      }
      fieldsets.get(option.group).append(OptionForm.#row(option));
    }
    for (const option of table.filter((entry) => notInForm.has(entry.name))) {
      const item = makeElement('li', {}, [makeElement('code', { textContent: `--${option.name}` }),
                                          `: ${notInForm.get(option.name)}`]);
      item.dataset.option = option.name;
      notOffered.append(item);
    }
  }

  // The arguments the fields give, in the table's order: a value as typed,
  // a choice other than the default, a switch that is on.
  args() {
    const args = [];
    for (const { name, kind, default: byDefault } of this.options) {
      const field = element(name);
      if (kind === 'switch') {
        if (field.checked) args.push(`--${name}`);
      } else if (field.value !== '' && !(kind === 'choice' && field.value === byDefault)) {
        args.push(`--${name}`, field.value);
      }
    }
    return args;
  }

  has(name) {
    return this.options.some((option) => option.name === name);
  }

  // Shows text at a field (an option's, or the log's) and marks it invalid.
  static mark(id, text) {
    element(`${id}-error`).textContent = text;
    element(id).setAttribute('aria-invalid', 'true');
  }

  static clearMarks() {
    for (const span of document.querySelectorAll('.field-error')) span.textContent = '';
    for (const field of document.querySelectorAll('[aria-invalid]')) {
      field.removeAttribute('aria-invalid');
    }
  }

  static #row(option) {
    const { name } = option;
    const field = OptionForm.#field(option);
    Object.assign(field, { id: name, name });
    field.setAttribute('aria-describedby', `${name}-help`);
    const label = makeElement('label', { htmlFor: name }, [
      makeElement('code', { textContent: `--${name}` })]);
    return makeElement('div', { className: 'row' }, [
      label, field,
      makeElement('span', { className: 'help', id: `${name}-help`, textContent: option.help }),
      makeElement('span', { className: 'field-error', id: `${name}-error`, role: 'alert' })]);
  }

  static #field(option) {
    if (option.kind === 'switch') return makeElement('input', { type: 'checkbox' });
    if (option.kind === 'choice') {
      const choices = option.choices.map((choice) => makeElement('option', {
        value: choice, textContent: choice, defaultSelected: choice === option.default,
        selected: choice === option.default }));
      // Without a default value, leaving the option out is a choice of its own.
      if (option.default === '') {
        choices.unshift(makeElement('option', { value: '', textContent: 'none' }));
      }
      return makeElement('select', {}, choices);
    }
    const placeholder = option.default || OptionForm.#formats[option.kind] ||
                        (option.metavar === 'TEXT' ? '' : option.metavar);
    return makeElement('input', {
      type: 'text', autocomplete: 'off', maxLength: 200, placeholder,
      inputMode: option.kind === 'number' ? 'numeric' : 'text' });
  }
}

// What a run wrote: a link per file, Download all, the console, the
// diagnostics and the tracking plot.
class ResultView {
  #urls = [];
  #files = [];
  #zipName = '';
  #button = element('download-all');

  constructor() {
    this.#button.addEventListener('click', () => this.#downloadAll());
  }

  clear() {
    for (const url of this.#urls) URL.revokeObjectURL(url);
    this.#urls = [];
    this.#files = [];
    this.#button.hidden = true;
    element('results').textContent = '';
    element('console').textContent = '';
    element('errors').textContent = '';
    const plot = element('plot');
    plot.hidden = true;
    plot.removeAttribute('src');
  }

  show(result, logName, plotName) {
    element('console').textContent = result.console;
    element('errors').textContent = result.errors;
    for (const [name, blob] of Object.entries(result.files)) {
      const type = name === plotName ? 'image/svg+xml' : 'application/octet-stream';
      const url = this.#url(new Blob([blob], { type }));
      element('results').append(makeElement('li', {}, [
        makeElement('a', { download: name, href: url, textContent: name }),
        ` (${sizeText(blob.size)})`]));
      this.#files.push({ name, blob });
      if (name === plotName && blob.size > 0) Object.assign(element('plot'), { src: url, hidden: false });
    }
    this.#zipName = `${stem(logName)}.zip`;
    this.#button.hidden = this.#files.length < 2;
    this.#button.disabled = false;
    this.#button.textContent = `Download all ${this.#files.length} files as ${this.#zipName}`;
  }

  #url(blob) {
    const url = URL.createObjectURL(blob);
    this.#urls.push(url);
    return url;
  }

  // Makes the zip, a slice of a file at a time so that the page stays
  // usable, and hands it to the browser as a download.
  async #downloadAll() {
    const label = this.#button.textContent;
    const files = this.#files;
    const zipName = this.#zipName;
    this.#button.disabled = true;
    try {
      const archive = await ZipArchive.build(files, {
        onProgress: (done, total) => {
          if (files === this.#files) {
            this.#button.textContent = `Making ${zipName}: ${Math.floor(100 * done / total)} %`;
          }
        },
      });
      // The files may have gone meanwhile, with a new log or run.
      if (files === this.#files) {
        makeElement('a', { download: zipName, href: this.#url(archive) }).click();
      }
    } finally {
      if (files === this.#files) {
        this.#button.textContent = label;
        this.#button.disabled = false;
      }
    }
  }
}

// The page's states. enter(state, detail) alone changes the state: it sets
// the status text, which buttons work, and the progress bar, from this
// table; next lists the states each may go to.
const pageStates = {
  idle: {
    busy: false, next: ['idle', 'ready', 'error'],
    text: () => 'Choose a log to begin.',
  },
  ready: {
    busy: false, next: ['idle', 'ready', 'working', 'error'],
    text: () => 'Ready to convert.',
  },
  working: {
    busy: true, next: ['working', 'done', 'error', 'cancelled'],
    text: ({ bytesRead = 0, size = 0 }) => (bytesRead === 0 ? 'Reading the log...'
      : `Reading the log: ${megabytes(bytesRead)} of ${megabytes(size)} ` +
        `(${(100 * bytesRead / Math.max(size, 1)).toFixed(0)} %)`),
  },
  done: {
    busy: false, next: ['idle', 'ready', 'working', 'error'],
    text: ({ bytesRead, seconds }) => `Done: read ${sizeText(bytesRead)} in ` +
      `${seconds.toFixed(2)} s` +
      (seconds > 0 ? ` (${(bytesRead / 1e6 / seconds).toFixed(1)} MB/s).` : '.'),
  },
  error: {
    busy: false, next: ['idle', 'ready', 'working', 'error'],
    text: ({ message }) => message,
  },
  cancelled: {
    busy: false, next: ['idle', 'ready', 'working', 'error'],
    text: () => 'Cancelled.',
  },
};

// The page itself: the form, the run in progress and what it wrote.
class Page {
  #runner;
  #form;
  #results = new ResultView();
  #running = null;  // the AbortController of the run in progress
  #state = 'idle';

  constructor(runner) {
    this.#runner = runner;
    const table = JSON.parse(element('option-table').textContent);
    this.#form = new OptionForm(table, element('options'), element('not-offered')
      .querySelector('ul'));
    this.enter('idle');
    const form = element('form');
    form.addEventListener('submit', (event) => {
      event.preventDefault();
      if (this.#state !== 'working') this.#convert();
    });
    form.addEventListener('input', () => this.#showCommandLine());
    form.addEventListener('change', () => this.#showCommandLine());
    element('cancel').addEventListener('click', () => this.#running?.abort());
    element('log').addEventListener('change', () => this.#logChosen());
    this.#acceptDrops();
    this.#showCommandLine();
  }

  // Goes to state, with detail for its text, setting all the page shows
  // of the state.
  enter(state, detail = {}) {
    const to = pageStates[state];
    if (!to || !pageStates[this.#state].next.includes(state)) {
      throw new Error(`the page cannot go from ${this.#state} to ${state}`);
    }
    this.#state = state;
    const status = element('status');
    status.dataset.state = state;
    status.textContent = to.text(detail);
    element('convert').disabled = to.busy;
    element('cancel').disabled = !to.busy;
    element('log').disabled = to.busy;
    const progress = element('progress');
    progress.hidden = !to.busy;
    progress.max = Math.max(detail.size || 0, 1);
    progress.value = to.busy ? detail.bytesRead || 0 : 0;
    if (detail.heapBytes !== undefined) status.dataset.heapBytes = detail.heapBytes;
    if (detail.seconds !== undefined) status.dataset.seconds = detail.seconds.toFixed(3);
  }

  #log() {
    return element('log').files[0];
  }

  // The arguments for the log: the form's options, the reports named after
  // the log, then the log.
  #commandLine(logName) {
    const args = this.#form.args();
    const withReports = element('qc').checked;
    const base = stem(logName);
    const names = { text: `${base}.qc.txt`, json: `${base}.qc.json`, plot: `${base}.svg` };
    if (withReports) args.push('--qc', names.text, '--qc-json', names.json, '--plot', names.plot);
    // After "--" a log whose name starts with "-" is still the log.
    args.push('--', logName);
    return { args, plotName: withReports ? names.plot : null };
  }

  #showCommandLine() {
    const quoted = (arg) => (/^[\w@%+=:,./-]+$/.test(arg) ? arg : `'${arg.replace(/'/g, "'\\''")}'`);
    const { args } = this.#commandLine(this.#log()?.name || defaultLogName);
    element('command-line').textContent = ['kapolex', ...args].map(quoted).join(' ');
  }

  // A new log: what the page showed of the last one goes.
  #logChosen() {
    const file = this.#log();
    element('log-name').textContent = file ? `${file.name} (${sizeText(file.size)})`
                                           : 'Choose a log, or drop it here';
    OptionForm.clearMarks();
    this.#results.clear();
    this.enter(file ? 'ready' : 'idle');
    this.#showCommandLine();
  }

  async #convert() {
    OptionForm.clearMarks();
    const file = this.#log();
    if (!file) {
      OptionForm.mark('log', 'Choose the log to convert.');
      this.enter('error', { message: 'No log chosen.' });
      return;
    }
    // The program would ask for the week at its console; the page has none.
    if (element('week').value === '' && element('date').value === '') {
      OptionForm.mark('week', 'Give the GPS week or the date of the log\'s first epoch.');
      this.enter('error', { message: 'The week or the date is needed.' });
      return;
    }
    this.#results.clear();
    const command = this.#commandLine(file.name);
    this.#running = new AbortController();
    this.enter('working', { size: file.size });
    const started = performance.now();
    try {
      const result = await this.#runner.convert(file, command.args, {
        signal: this.#running.signal,
        onProgress: (bytesRead, size, heapBytes) => {
          this.enter('working', { bytesRead, size, heapBytes });
        },
      });
      this.#finish(result, file.name, command.plotName, (performance.now() - started) / 1000);
    } catch (error) {
      if (error.name === 'AbortError') {
        this.enter('cancelled');
      } else {
        this.enter('error', { message: error.message });
      }
    } finally {
      this.#running = null;
    }
  }

  #finish(result, logName, plotName, seconds) {
    this.#results.show(result, logName, plotName);
    const measured = { bytesRead: result.bytesRead, heapBytes: result.heapBytes, seconds };
    if (result.status === 0) {
      this.enter('done', measured);
    } else if (result.usageError) {
      this.enter('error', { ...measured, message: this.#markUsageError(result.usageError) });
    } else {
      this.enter('error', { ...measured, message: `Stopped with exit status ${result.status}; ` +
                            'the files hold what was written before the stop.' });
    }
  }

  // Shows a usage error at its option's field, where the form has one;
  // returns the status text.
  #markUsageError({ message, option }) {
    if (!this.#form.has(option)) return `The options are not usable: ${message}`;
    OptionForm.mark(option, message);
    return 'The options are not usable: see the field marked.';
  }

  // A file dropped anywhere on the page is the log; the browser must not
  // open it instead.
  #acceptDrops() {
    const drop = element('drop');
    window.addEventListener('dragover', (event) => {
      event.preventDefault();
      drop.classList.add('over');
    });
    window.addEventListener('dragleave', (event) => {
      if (event.relatedTarget === null) drop.classList.remove('over');
    });
    window.addEventListener('drop', (event) => {
      event.preventDefault();
      drop.classList.remove('over');
      if (this.#state !== 'working' && event.dataTransfer?.files.length > 0) {
        element('log').files = event.dataTransfer.files;
        this.#logChosen();
      }
    });
  }
}

const runner = new ProgramRunner();
// The page's one global: kapolex.convert(fileOrBytes, args, options).
globalThis.kapolex = Object.freeze({ convert: (...args) => runner.convert(...args) });
new Page(runner);
