// The page's zip writer, in node: its archives pass `unzip -t` and unpack
// to the very files given, in the classic form and with Zip64 records; its
// CRC-32 is the standard one. Run by CTest in the web preset:
//
//   node zip_writer_test.mjs ZIP_WRITER_JS WORK_FOLDER
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

const [writerPath, workFolder] = process.argv.slice(-2);
try {
  execFileSync('unzip', ['-v'], { stdio: 'ignore' });
} catch {
  console.log('skipped: unzip is needed (Debian: apt-get install unzip)');
  process.exit(77);
}
const ZipArchive = new Function(`${readFileSync(writerPath, 'utf8')}\nreturn ZipArchive;`)();

// Bytes that do not repeat within a slice, so that a misplaced slice shows.
function bytesOf(length, seed) {
  const bytes = new Uint8Array(length);
  let x = seed;
  for (let i = 0; i < length; ++i) {
    x = (Math.imul(x, 1103515245) + 12345) >>> 0;
    bytes[i] = x >>> 24;
  }
  return bytes;
}

const FILES = [
  ['XXXX0040.06O', bytesOf(100000, 1)],
  ['empty.txt', new Uint8Array(0)],
  ['z.qc.json', new TextEncoder().encode('{"epochs": 60}\n')],
  ['caf\u00e9 n\u00b07.obs', bytesOf(3, 2)],
  // More than one slice of the CRC's reading, and not a whole number of them.
  ['large.obs', bytesOf(2 * ZipArchive.sliceBytes + 12345, 3)],
];

const CASES = [
  { name: 'classic', zip64: 'asNeeded', files: FILES },
  { name: 'zip64', zip64: 'always', files: FILES },
  { name: 'one file', zip64: 'asNeeded', files: FILES.slice(0, 1) },
  { name: 'no file', zip64: 'asNeeded', files: [] },
];

test('CRC-32 check values', () => {
  assert.equal(ZipArchive.crc32(new TextEncoder().encode('123456789')), 0xcbf43926);
  assert.equal(ZipArchive.crc32(new Uint8Array(0)), 0);
  const whole = bytesOf(1000, 9);
  assert.equal(ZipArchive.crc32(whole.subarray(400), ZipArchive.crc32(whole.subarray(0, 400))),
               ZipArchive.crc32(whole));
});

for (const { name, zip64, files } of CASES) {
  test(`archive: ${name}`, async () => {
    const folder = path.join(workFolder, name.replace(/ /g, '-'));
    rmSync(folder, { recursive: true, force: true });
    mkdirSync(path.join(folder, 'out'), { recursive: true });
    const progress = [];
    const archive = await ZipArchive.build(
      files.map(([file, bytes]) => ({ name: file, blob: new Blob([bytes]) })),
      { date: new Date(2006, 0, 4, 11, 21, 30), zip64,
        onProgress: (done, total) => progress.push([done, total]) });
    const zipPath = path.join(folder, 'all.zip');
    writeFileSync(zipPath, new Uint8Array(await archive.arrayBuffer()));
    const total = files.reduce((sum, [, bytes]) => sum + bytes.length, 0);
    if (total > 0) assert.deepEqual(progress.at(-1), [total, total]);

    if (files.length === 0) {
      // unzip reports an empty archive with status 1; the end record says 0.
      const bytes = readFileSync(zipPath);
      assert.equal(bytes.length, 22);
      assert.equal(bytes.readUInt32LE(0), 0x06054b50);
      return;
    }
    const tested = execFileSync('unzip', ['-t', zipPath], { encoding: 'utf8' });
    assert.match(tested, /No errors detected/);
    execFileSync('unzip', ['-q', zipPath, '-d', path.join(folder, 'out')]);
    assert.deepEqual(readdirSync(path.join(folder, 'out')).sort(),
                     files.map(([file]) => file).sort());
    for (const [file, bytes] of files) {
      assert.deepEqual(new Uint8Array(readFileSync(path.join(folder, 'out', file))), bytes, file);
    }
    const listing = execFileSync('zipinfo', [zipPath], { encoding: 'utf8' });
    assert.match(listing, /-rw-r--r--/);
    assert.match(listing, /06-Jan-04 11:21/);
    rmSync(folder, { recursive: true, force: true });
  });
}
