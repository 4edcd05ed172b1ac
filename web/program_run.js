// Runs kapolex inside a worker as a shell runs it in a folder: the program
// finds the dropped log in its working folder, writes its outputs beside
// it and uses the standard streams, all through the C library's ordinary
// calls. The log itself is pushed into the run: a worker of its own reads
// the File a large slice at a time, always a few slices ahead, and each
// slice is copied once into the run's own buffer in the heap while the next
// is read. Every chunk the program writes leaves the heap at once for a
// buffer outside it, which becomes a part of the output's Blob, so the heap
// stays the size the program itself needs, whatever the log's size.
//
// Appended to the module's code (emcc --post-js): it uses the module's FS,
// heap and exported entry points.

/* global FS, HEAPU8, HEAPU32, HEAP32, _malloc, _free, _kapolexStart, _kapolexWantsLog,
   _kapolexLogSpace, _kapolexLogAdded, _kapolexLogEnded, _kapolexFinish,
   _kapolexReadsStandardInput, _kapolexCompressesObservations, lengthBytesUTF8, stringToUTF8, UTF8ToString */

var programFolder = '/files';

var fileTypeBits = 61440;  // S_IFMT, 0170000
var directoryType = 16384;  // S_IFDIR, 0040000
var regularType = 32768;    // S_IFREG, 0100000

// Where a run's time goes, in milliseconds: waiting for the browser's reads
// of the log (the time they are not hidden behind the conversion), taking
// the outputs out of the heap and making their Blobs, and converting
// (putting the log into the heap, and the core's work on it, writing
// included).
var ioTimes = { reading: 0, writing: 0, converting: 0 };

// The outputs' Blobs are made here, part by part. The bytes the program
// writes are copied out of the heap into buffers of 4 MiB that are used
// again and again; each full buffer becomes a part of its file's Blob,
// which copies it into the browser's blob store. A third worker that made
// the Blobs, with the buffers transferred to it and back, measured no
// faster, and with three workers busy on two cores the page answered
// clicks more slowly (doc/web.md, Figures).
function BlobMaker() {
  this.parts = {};  // an output's id -> the Blobs it is made of
  this.spare = [];  // full-size buffers made parts, ready for use again
  this.nextId = 0;
}
BlobMaker.bufferSize = 4 << 20;
BlobMaker.prototype.buffer = function () {
  return this.spare.length > 0 ? this.spare.pop() : new ArrayBuffer(BlobMaker.bufferSize);
};
BlobMaker.prototype.send = function (id, buffer, length) {
  var own = this.parts[id] || (this.parts[id] = []);
  own.push(new Blob([new Uint8Array(buffer, 0, length)]));
  // A small output's first buffer is not used again.
  if (buffer.byteLength === BlobMaker.bufferSize) this.spare.push(buffer);
};
BlobMaker.prototype.patch = function (id, position, bytes) {
  var whole = new Blob(this.parts[id] || []);
  this.parts[id] = [whole.slice(0, position), bytes, whole.slice(position + bytes.length)];
};
BlobMaker.prototype.cut = function (id) {
  this.parts[id] = [];
};
// Every output's Blob by its id.
BlobMaker.prototype.blobs = function () {
  var blobs = {};
  var parts = this.parts;
  Object.keys(parts).forEach(function (id) { blobs[id] = new Blob(parts[id]); });
  return blobs;
};

// Bytes written by the program, exactly as written. Each write is copied out
// of the heap into the output's buffer; a full buffer becomes a part of the
// output's Blob. A small output keeps to a small buffer of its own.
function ByteCollector(maker) {
  this.maker = maker;
  this.id = maker.nextId++;
  this.buffer = null;
  this.clear();
}
ByteCollector.firstBufferSize = 64 << 10;
ByteCollector.prototype.clear = function () {
  if (this.sent > 0) this.maker.cut(this.id);
  this.buffered = 0;
  this.sent = 0;  // bytes already made Blob parts
  this.size = 0;
};
ByteCollector.prototype.append = function (heap, offset, length) {
  var started = performance.now();
  this.size += length;
  while (length > 0) {
    if (this.buffer === null) {
      this.buffer = new Uint8Array(this.sent > 0 ? this.maker.buffer()
                                                 : new ArrayBuffer(ByteCollector.firstBufferSize));
    }
    var part = Math.min(length, this.buffer.length - this.buffered);
    this.buffer.set(new Uint8Array(heap.buffer, heap.byteOffset + offset, part), this.buffered);
    this.buffered += part;
    offset += part;
    length -= part;
    if (this.buffered === this.buffer.length) this.send();
  }
  ioTimes.writing += performance.now() - started;
};
// Replaces length bytes at position, all of them written before, with
// those at offset in the heap: the program fills in a header record whose
// content it knows only at the end. Bytes already made Blob parts are
// replaced by slicing the parts around them.
ByteCollector.prototype.overwrite = function (heap, offset, length, position) {
  var bytes = new Uint8Array(heap.buffer, heap.byteOffset + offset, length).slice();
  var inParts = Math.max(0, Math.min(length, this.sent - position));
  if (inParts > 0) this.maker.patch(this.id, position, bytes.subarray(0, inParts));
  if (inParts < length) this.buffer.set(bytes.subarray(inParts), position + inParts - this.sent);
};
ByteCollector.prototype.send = function () {
  if (this.buffered === 0) return;
  this.maker.send(this.id, this.buffer.buffer, this.buffered);
  this.sent += this.buffered;
  this.buffer = null;
  this.buffered = 0;
};

// The log is read by a worker of its own, slice after slice, each handed
// over (transferred, not copied) as soon as it is read, while this worker
// converts the one before: the browser's read goes on whatever this worker
// is doing. The reader keeps a few slices ahead, no more. Each read of the
// browser's blob store has a cost of its own, so the slices are large.
function logReaderMain() {
  var log = null;
  var next = 0;
  var sliceSize = 0;
  var ended = false;
  var delivered = Promise.resolve();
  // Each slice asked for is read at once, several at a time, and handed
  // over in order.
  function deliver(reading) {
    delivered = delivered.then(function () { return reading; }).then(function (bytes) {
      self.postMessage(bytes, bytes === null ? [] : [bytes]);
    }, function (error) {
      self.postMessage({ failure: String(error) });
    });
  }
  self.onmessage = function (event) {
    if (event.data.log !== undefined) {
      log = event.data.log;
      next = event.data.start;
      sliceSize = event.data.sliceSize;
    }
    for (var slices = event.data.slices; slices > 0 && next < log.size; --slices) {
      var end = Math.min(next + sliceSize, log.size);
      deliver(log.slice(next, end).arrayBuffer());
      next = end;
    }
    // After the last slice, once: the end of the log.
    if (next >= log.size && !ended) {
      ended = true;
      deliver(null);
    }
  };
}

function SliceReader(log, start) {
  var source = '(' + logReaderMain.toString() + ')();';
  this.worker = new Worker(URL.createObjectURL(new Blob([source], { type: 'text/javascript' })));
  this.arrived = [];
  this.waiting = null;
  var slices = this;
  this.worker.onmessage = function (event) {
    slices.arrived.push(event.data);
    if (slices.waiting !== null) slices.waiting();
  };
  this.worker.postMessage({ log: log, start: start, slices: SliceReader.ahead,
                            sliceSize: SliceReader.sliceSize });
}
SliceReader.sliceSize = 16 << 20;
SliceReader.ahead = 3;
// The next slice as a Uint8Array, or null at the end of the log.
SliceReader.prototype.nextSlice = async function () {
  var started = performance.now();
  var slices = this;
  while (slices.arrived.length === 0) {
    await new Promise(function (resolve) { slices.waiting = resolve; });
    slices.waiting = null;
  }
  ioTimes.reading += performance.now() - started;
  var bytes = slices.arrived.shift();
  if (bytes === null) return null;
  if (!(bytes instanceof ArrayBuffer)) throw new Error('the log could not be read: ' + bytes.failure);
  this.worker.postMessage({ slices: 1 });
  return new Uint8Array(bytes);
};
SliceReader.prototype.end = function () {
  this.worker.terminate();
};

// Standard input's bytes when it holds the log: the week's prompt may read
// some of them before the log is pushed, as a shell's redirected file is
// read by the program. Read synchronously, as a device is.
function InputReader(blob) {
  this.blob = blob;
  this.reader = new FileReaderSync();
  this.position = 0;
}
InputReader.prototype.readInto = function (heap, offset, length) {
  var end = Math.min(this.position + length, this.blob.size);
  if (end <= this.position) return 0;
  var bytes = new Uint8Array(this.reader.readAsArrayBuffer(this.blob.slice(this.position, end)));
  new Uint8Array(heap.buffer, heap.byteOffset + offset, bytes.length).set(bytes);
  this.position = end;
  return bytes.length;
};

// The C library's error numbers: Emscripten's, which are WASI's.
var errorNumbers = { EINVAL: 28, ENOENT: 44, EPERM: 63, ESPIPE: 70 };

function errnoError(name) {
  return new FS.ErrnoError(errorNumbers[name]);
}

function nodeAttributes(node, size) {
  var time = new Date(node.timestamp);
  return {
    dev: 1, ino: node.id, mode: node.mode, nlink: 1, uid: 0, gid: 0, rdev: 0,
    size: size, atime: time, mtime: time, ctime: time, blksize: 4096,
    blocks: Math.ceil(size / 4096)
  };
}

// The working folder: the dropped log, read-only, and every file the
// program creates, each a ByteCollector written forward, apart from the
// records the program fills in at the end.
var ProgramFolder = {
  mount: function (mount) {
    var root = FS.createNode(null, '/', directoryType | 511 /* 0777 */, 0);
    root.node_ops = ProgramFolder.folderOps;
    root.contents = {};
    root.timestamp = Date.now();
    root.created = [];
    return root;
  },
  folderOps: {
    getattr: function (node) { return nodeAttributes(node, 4096); },
    setattr: function () {},
    lookup: function () { throw errnoError('ENOENT'); },
    mknod: function (parent, name, mode) {
      if ((mode & fileTypeBits) !== regularType) throw errnoError('EPERM');
      var node = FS.createNode(parent, name, mode, 0);
      node.node_ops = ProgramFolder.outputOps;
      node.stream_ops = ProgramFolder.outputStreamOps;
      node.timestamp = Date.now();
      node.collector = new ByteCollector(parent.blobMaker);
      parent.contents[name] = node;
      parent.created.push(name);
      return node;
    },
    readdir: function (node) { return ['.', '..'].concat(Object.keys(node.contents)); },
    // A file named at its end takes its name in the same folder; a file of
    // that name written before gives way, and the log never does.
    rename: function (node, folder, name) {
      var replaced = folder.contents[name];
      if (folder !== node.parent || !node.collector || (replaced && !replaced.collector)) {
        throw errnoError('EPERM');
      }
      if (replaced) {
        FS.hashRemoveNode(replaced);
        folder.created.splice(folder.created.indexOf(name), 1);
      }
      delete folder.contents[node.name];
      folder.created[folder.created.indexOf(node.name)] = name;
      node.name = name;
      folder.contents[name] = node;
    },
    unlink: function () { throw errnoError('EPERM'); },
    rmdir: function () { throw errnoError('EPERM'); },
    symlink: function () { throw errnoError('EPERM'); }
  },
  // The log is opened by the program but pushed into it (see feedLog), never
  // read through the file system.
  logOps: {
    getattr: function (node) { return nodeAttributes(node, node.blob.size); },
    setattr: function () {}
  },
  logStreamOps: {
    llseek: function (stream, offset, whence) {
      var base = whence === 1 ? stream.position : whence === 2 ? stream.node.blob.size : 0;
      if (base + offset < 0) throw errnoError('EINVAL');
      return base + offset;
    }
  },
  outputOps: {
    getattr: function (node) { return nodeAttributes(node, node.collector.size); },
    setattr: function (node, attributes) {
      if (attributes.size === undefined) return;
      // The program only ever cuts a file to nothing before writing it.
      if (attributes.size !== 0) throw errnoError('EPERM');
      node.collector.clear();
    }
  },
  outputStreamOps: {
    write: function (stream, buffer, offset, length, position) {
      var collector = stream.node.collector;
      if (position === collector.size) {
        collector.append(buffer, offset, length);
      } else if (position >= 0 && position + length <= collector.size) {
        collector.overwrite(buffer, offset, length, position);
      } else {
        throw errnoError('ESPIPE');
      }
      return length;
    },
    llseek: function (stream, offset, whence) {
      var base = whence === 1 ? stream.position : whence === 2 ? stream.node.collector.size : 0;
      if (base + offset < 0) throw errnoError('EINVAL');
      return base + offset;
    }
  }
};

// Reopens descriptor fd on a device whose stream operations are given.
var nextDeviceMinor = 0;
function reopenStandardStream(fd, name, operations, flags) {
  var device = FS.makedev(64, nextDeviceMinor++);
  FS.registerDevice(device, operations);
  var path = '/dev/' + name;
  FS.mkdev(path, 438 /* 0666 */, device);
  if (FS.streams[fd]) FS.close(FS.streams[fd]);
  var stream = FS.open(path, flags, 0, fd, fd);
  if (stream.fd !== fd) throw new Error('standard stream ' + fd + ' could not be set up');
}

function outputDevice(collector) {
  return {
    write: function (stream, buffer, offset, length) {
      collector.append(buffer, offset, length);
      return length;
    }
  };
}

// Copies the arguments into the heap as a C argument vector.
function argumentVector(args) {
  var pointers = _malloc(4 * Math.max(args.length, 1));
  for (var i = 0; i < args.length; ++i) {
    var size = lengthBytesUTF8(args[i]) + 1;
    var text = _malloc(size);
    stringToUTF8(args[i], text, size);
    HEAP32[(pointers >> 2) + i] = text;
  }
  return {
    pointer: pointers,
    free: function () {
      for (var j = 0; j < args.length; ++j) _free(HEAP32[(pointers >> 2) + j]);
      _free(pointers);
    }
  };
}

// Pushes the log, from byte start on, into the run as long as it wants
// more: each slice the browser has read is copied into the run's buffer a
// piece at a time, the run converting each piece, while the browser reads
// the next slice. onFed(bytes) follows the pushing. Resolves once the log
// has ended, or the run wants no more of it (it stopped).
async function feedLog(run, log, start, onFed) {
  if (!_kapolexWantsLog(run)) return;
  var slices = new SliceReader(log, start);
  var sizeSlot = _malloc(4);
  var fed = start;
  try {
    for (;;) {
      var slice = await slices.nextSlice();
      if (!_kapolexWantsLog(run)) return;
      if (slice === null) break;
      for (var at = 0; at < slice.length && _kapolexWantsLog(run);) {
        var space = _kapolexLogSpace(run, sizeSlot);
        var count = Math.min(HEAPU32[sizeSlot >> 2], slice.length - at);
        var converting = performance.now();
        HEAPU8.set(slice.subarray(at, at + count), space);
        _kapolexLogAdded(run, count);
        ioTimes.converting += performance.now() - converting;
        at += count;
        fed += count;
        onFed(fed);
      }
    }
    _kapolexLogEnded(run);
  } finally {
    slices.end();
    _free(sizeSlot);
  }
}

// Ends the run; returns its exit status and its usage error as data.
function finishRun(run) {
  var usageErrorSlot = _malloc(4);
  try {
    var status = _kapolexFinish(run, usageErrorSlot);
    var usageErrorText = HEAP32[usageErrorSlot >> 2];
    var usageError = null;
    if (usageErrorText !== 0) {
      usageError = JSON.parse(UTF8ToString(usageErrorText));
      _free(usageErrorText);
    }
    return { status: status, usageError: usageError };
  } finally {
    _free(usageErrorSlot);
  }
}

// With --gzip, the core (built without zlib) writes the observation files
// plain under the names it gives them, which end in ".gz"; the page
// compresses each with the browser's own gzip stream. Its bytes may differ
// from zlib's, but they decompress to the program's own.
function gzipBlob(blob) {
  return new Response(blob.stream().pipeThrough(new CompressionStream('gzip'))).blob();
}

async function compressObservations(files) {
  var names = Object.keys(files).filter(function (name) { return /\.gz$/.test(name); });
  for (var i = 0; i < names.length; ++i) files[names[i]] = await gzipBlob(files[names[i]]);
}

// Runs the program once with args in a folder that holds log (a Blob) as
// logName. onProgress(bytesRead) follows the reading of the log. Resolves
// to the exit status as a shell sees it, the standard output and error as
// Blobs, every file the program created in the folder by name, a usage
// error as the program gives it ({message, option}, or null), the size
// of the heap at the end, which is also its peak (it only grows), and
// where the time went.
Module['runProgram'] = async function (log, logName, args, onProgress) {
  if (logName === '' || logName === '.' || logName === '..' || logName.indexOf('/') >= 0) {
    throw new Error('the log\'s name is not a file name: ' + JSON.stringify(logName));
  }
  FS.mkdir(programFolder);
  FS.mount(ProgramFolder, {}, programFolder);
  var root = FS.lookupPath(programFolder).node;
  var logNode = FS.createNode(root, logName, regularType | 292 /* 0444 */, 0);
  logNode.node_ops = ProgramFolder.logOps;
  logNode.stream_ops = ProgramFolder.logStreamOps;
  logNode.timestamp = log.lastModified || Date.now();
  logNode.blob = log;
  root.contents[logName] = logNode;
  FS.chdir(programFolder);

  var maker = new BlobMaker();
  root.blobMaker = maker;
  var stdout = new ByteCollector(maker);
  var stderr = new ByteCollector(maker);
  var argv = argumentVector(args);
  var logOnInput = _kapolexReadsStandardInput(args.length, argv.pointer) !== 0;
  var compresses = _kapolexCompressesObservations(args.length, argv.pointer) !== 0;
  var input = new InputReader(log);
  reopenStandardStream(0, 'standard-input', {
    read: function (stream, buffer, offset, length) {
      return logOnInput ? input.readInto(buffer, offset, length) : 0;
    }
  }, 0 /* O_RDONLY */);
  reopenStandardStream(1, 'standard-output', outputDevice(stdout), 1 /* O_WRONLY */);
  reopenStandardStream(2, 'standard-error', outputDevice(stderr), 1 /* O_WRONLY */);

  var bytesRead = 0;
  var started = performance.now();
  var run;
  try {
    run = _kapolexStart(args.length, argv.pointer);
  } finally {
    argv.free();
  }
  var ended;
  try {
    // What the week's prompt read of standard input is not the log's.
    await feedLog(run, log, logOnInput ? input.position : 0, function (fed) {
      bytesRead = fed;
      onProgress(fed);
    });
  } finally {
    ended = finishRun(run);
  }
  var collectors = [stdout, stderr].concat(root.created.map(function (name) {
    return root.contents[name].collector;
  }));
  collectors.forEach(function (collector) { collector.send(); });
  var lastBlobs = performance.now();
  var blobs = maker.blobs();
  ioTimes.writing += performance.now() - lastBlobs;
  var runMilliseconds = performance.now() - started;
  var outputBlob = function (collector) { return blobs[collector.id] || new Blob([]); };
  var files = {};
  root.created.forEach(function (name) {
    files[name] = outputBlob(root.contents[name].collector);
  });
  if (compresses) await compressObservations(files);
  return {
    // A process's exit status reaches its parent as the low 8 bits.
    status: ended.status & 255,
    stdout: outputBlob(stdout),
    stderr: outputBlob(stderr),
    files: files,
    usageError: ended.usageError,
    bytesRead: bytesRead,
    heapBytes: HEAPU8.length,
    // The run's seconds; those it waited for the browser's reads, and
    // spent taking the outputs out of the heap.
    seconds: { run: runMilliseconds / 1000, reading: ioTimes.reading / 1000,
               writing: ioTimes.writing / 1000, converting: ioTimes.converting / 1000 }
  };
};
