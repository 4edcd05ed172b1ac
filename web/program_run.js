// Runs kapolex inside a worker as a shell runs it in a folder: the program
// finds the dropped log in its working folder, writes its outputs beside
// it and uses the standard streams, all through the C library's ordinary
// calls. Behind those calls, the log is read slice by slice from the
// browser's File (it never enters the heap whole), and every chunk the
// program writes is copied out of the heap on its way to a Blob at once,
// so the heap stays the size the program itself needs.
//
// Appended to the module's code (emcc --post-js): it uses the module's FS,
// heap and exported entry points.

/* global FS, HEAPU8, HEAP32, _malloc, _free, _kapolexRun,
   _kapolexReadsStandardInput, lengthBytesUTF8, stringToUTF8, UTF8ToString */

var programFolder = '/files';

var fileTypeBits = 61440;  // S_IFMT, 0170000
var directoryType = 16384;  // S_IFDIR, 0040000
var regularType = 32768;    // S_IFREG, 0100000

// Where a run's time goes, in milliseconds: reading the log through the
// browser, and copying the outputs out of the heap into Blobs.
var ioTimes = { reading: 0, writing: 0 };

// Bytes written by the program. Each chunk is copied out of the heap as it
// arrives, into a buffer outside it; a full buffer becomes a part of the
// output's Blob (the Blob constructor copies it into the browser's blob
// store). Neither the heap nor the worker's own memory holds a large
// output, and the blob store gets few, large parts. The buffer starts at
// 1 MiB and doubles up to 16 MiB, so that small outputs stay small.
function ByteCollector() {
  this.clear();
}
ByteCollector.firstBufferSize = 1 << 20;
ByteCollector.largestBufferSize = 16 << 20;
ByteCollector.prototype.clear = function () {
  this.joined = new Blob([]);
  this.buffer = null;
  this.buffered = 0;
  this.nextBufferSize = ByteCollector.firstBufferSize;
  this.size = 0;
};
ByteCollector.prototype.append = function (heap, offset, length) {
  var started = performance.now();
  this.size += length;
  while (length > 0) {
    if (this.buffer === null) {
      this.buffer = new Uint8Array(this.nextBufferSize);
      this.nextBufferSize = Math.min(2 * this.nextBufferSize, ByteCollector.largestBufferSize);
    }
    var part = Math.min(length, this.buffer.length - this.buffered);
    this.buffer.set(new Uint8Array(heap.buffer, heap.byteOffset + offset, part), this.buffered);
    this.buffered += part;
    offset += part;
    length -= part;
    if (this.buffered === this.buffer.length) this.join();
  }
  ioTimes.writing += performance.now() - started;
};
// Replaces length bytes at position, all of them written before, with
// those at offset in the heap: the program fills in a header record whose
// content it knows only at the end. The Blob's parts are sliced around the
// new bytes, which copies nothing already out of the heap.
ByteCollector.prototype.overwrite = function (heap, offset, length, position) {
  var started = performance.now();
  var bytes = new Uint8Array(heap.buffer, heap.byteOffset + offset, length).slice();
  var joinedSize = this.size - this.buffered;
  var inJoined = Math.max(0, Math.min(length, joinedSize - position));
  if (inJoined > 0) {
    this.joined = new Blob([this.joined.slice(0, position), bytes.subarray(0, inJoined),
                            this.joined.slice(position + inJoined)]);
  }
  if (inJoined < length) {
    this.buffer.set(bytes.subarray(inJoined), position + inJoined - joinedSize);
  }
  ioTimes.writing += performance.now() - started;
};
ByteCollector.prototype.join = function () {
  if (this.buffered === 0) return;
  this.joined = new Blob([this.joined, this.buffer.subarray(0, this.buffered)]);
  this.buffered = 0;
  // A buffer of the largest size is used again; a smaller one gives way to
  // the next size.
  if (this.buffer.length < ByteCollector.largestBufferSize) this.buffer = null;
};
ByteCollector.prototype.blob = function () {
  this.join();
  return this.joined;
};

// A Blob read forward through FileReaderSync. Each read of the browser's
// blob store has a cost of its own, so the log is read in slices of
// several MiB, kept outside the heap, and the program's reads are served
// from the slice at hand. onRead(end) is told how far the log has been
// read.
function SliceReader(blob, onRead) {
  this.blob = blob;
  this.onRead = onRead;
  this.reader = new FileReaderSync();
  this.slice = new Uint8Array(0);
  this.sliceStart = 0;
}
SliceReader.sliceSize = 16 << 20;
SliceReader.prototype.readInto = function (heap, offset, length, position) {
  var end = Math.min(position + length, this.blob.size);
  if (end <= position) return 0;
  if (position < this.sliceStart || end > this.sliceStart + this.slice.length) {
    var sliceEnd = Math.min(position + Math.max(length, SliceReader.sliceSize), this.blob.size);
    var started = performance.now();
    this.slice = new Uint8Array(this.reader.readAsArrayBuffer(this.blob.slice(position, sliceEnd)));
    ioTimes.reading += performance.now() - started;
    this.sliceStart = position;
  }
  var from = position - this.sliceStart;
  var count = end - position;
  new Uint8Array(heap.buffer, heap.byteOffset + offset, count)
    .set(this.slice.subarray(from, from + count));
  this.onRead(end);
  return count;
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
      node.collector = new ByteCollector();
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
  logOps: {
    getattr: function (node) { return nodeAttributes(node, node.source.blob.size); },
    setattr: function () {}
  },
  logStreamOps: {
    read: function (stream, buffer, offset, length, position) {
      return stream.node.source.readInto(buffer, offset, length, position);
    },
    llseek: function (stream, offset, whence) {
      var base = whence === 1 ? stream.position : whence === 2 ? stream.node.source.blob.size : 0;
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

// Runs the program once with args in a folder that holds log (a Blob) as
// logName. onProgress(bytesRead) follows the reading of the log. Returns
// the exit status as a shell sees it, the standard output and error as
// Blobs, every file the program created in the folder by name, a usage
// error as the program gives it ({message, option}, or null), the size
// of the heap at the end, which is also its peak (it only grows), and
// where the time went.
Module['runProgram'] = function (log, logName, args, onProgress) {
  if (logName === '' || logName === '.' || logName === '..' || logName.indexOf('/') >= 0) {
    throw new Error('the log\'s name is not a file name: ' + JSON.stringify(logName));
  }
  var bytesRead = 0;
  var source = new SliceReader(log, function (end) {
    if (end > bytesRead) bytesRead = end;
    onProgress(bytesRead);
  });

  FS.mkdir(programFolder);
  FS.mount(ProgramFolder, {}, programFolder);
  var root = FS.lookupPath(programFolder).node;
  var logNode = FS.createNode(root, logName, regularType | 292 /* 0444 */, 0);
  logNode.node_ops = ProgramFolder.logOps;
  logNode.stream_ops = ProgramFolder.logStreamOps;
  logNode.timestamp = log.lastModified || Date.now();
  logNode.source = source;
  root.contents[logName] = logNode;
  FS.chdir(programFolder);

  var stdout = new ByteCollector();
  var stderr = new ByteCollector();
  var argv = argumentVector(args);
  var logOnInput = _kapolexReadsStandardInput(args.length, argv.pointer) !== 0;
  var inputPosition = 0;
  reopenStandardStream(0, 'standard-input', {
    read: function (stream, buffer, offset, length) {
      if (!logOnInput) return 0;
      var count = source.readInto(buffer, offset, length, inputPosition);
      inputPosition += count;
      return count;
    }
  }, 0 /* O_RDONLY */);
  reopenStandardStream(1, 'standard-output', outputDevice(stdout), 1 /* O_WRONLY */);
  reopenStandardStream(2, 'standard-error', outputDevice(stderr), 1 /* O_WRONLY */);

  var status;
  var usageError = null;
  var usageErrorSlot = _malloc(4);
  var started = performance.now();
  try {
    status = _kapolexRun(args.length, argv.pointer, usageErrorSlot);
    var usageErrorText = HEAP32[usageErrorSlot >> 2];
    if (usageErrorText !== 0) {
      usageError = JSON.parse(UTF8ToString(usageErrorText));
      _free(usageErrorText);
    }
  } finally {
    _free(usageErrorSlot);
    argv.free();
  }
  var runMilliseconds = performance.now() - started;
  var files = {};
  root.created.forEach(function (name) {
    files[name] = root.contents[name].collector.blob();
  });
  return {
    // A process's exit status reaches its parent as the low 8 bits.
    status: status & 255,
    stdout: stdout.blob(),
    stderr: stderr.blob(),
    files: files,
    usageError: usageError,
    bytesRead: bytesRead,
    heapBytes: HEAPU8.length,
    // The run's seconds, and those spent reading and writing in them.
    seconds: { run: runMilliseconds / 1000, reading: ioTimes.reading / 1000,
               writing: ioTimes.writing / 1000 }
  };
};
