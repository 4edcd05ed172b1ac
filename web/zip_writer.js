// Zip archives of a run's files, for the page's "Download all". The files
// are stored, not compressed: the archive is a Blob made of headers and the
// files' own Blobs, so nothing is copied, and only the CRC-32 of each file
// is worked out, a slice at a time. Files or archives past 4 GiB, or past
// 65535 files, take the Zip64 records.
//
// Inlined in the page's script before the page's own code; a classic
// script, so that its tests can also load it in node.

/* exported ZipArchive */

class ZipArchive {
  // Sizes and counts at or past these need the Zip64 records.
  static largest32 = 0xffffffff;
  static largest16 = 0xffff;
  // How much of a file is read into memory at a time for its CRC.
  static sliceBytes = 8 << 20;

  static #crcTable = null;

  // The CRC-32 (ISO-HDLC, as zip uses) of bytes, continuing from crc.
  static crc32(bytes, crc = 0) {
    if (ZipArchive.#crcTable === null) {
      const table = new Uint32Array(256);
      for (let n = 0; n < 256; ++n) {
        let c = n;
        for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
        table[n] = c >>> 0;
      }
      ZipArchive.#crcTable = table;
    }
    const table = ZipArchive.#crcTable;
    let c = ~crc >>> 0;
    for (let i = 0; i < bytes.length; ++i) c = table[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
    return ~c >>> 0;
  }

  // The CRC-32 of a Blob, read slice by slice; onBytes(count) is told of
  // each slice.
  static async blobCrc32(blob, onBytes) {
    let crc = 0;
    for (let at = 0; at < blob.size; at += ZipArchive.sliceBytes) {
      const slice = blob.slice(at, Math.min(at + ZipArchive.sliceBytes, blob.size));
      const bytes = new Uint8Array(await slice.arrayBuffer());
      crc = ZipArchive.crc32(bytes, crc);
      onBytes(bytes.length);
    }
    return crc;
  }

  // The archive of files ([{name, blob}], names unique) as a Blob. Each
  // file gets date (a Date, read as local time, as zip's MS-DOS fields
  // are). onProgress(bytesDone, bytesInAll) follows the reading.
  // zip64 'always' gives every file the Zip64 records, as a test would.
  static async build(files, { date = new Date(), onProgress = () => {}, zip64 = 'asNeeded' } = {}) {
    const total = files.reduce((sum, file) => sum + file.blob.size, 0);
    let done = 0;
    const stamp = ZipArchive.#dosTime(date);
    const parts = [];
    const central = [];
    let offset = 0;
    for (const { name, blob } of files) {
      const crc = await ZipArchive.blobCrc32(blob, (count) => {
        done += count;
        onProgress(done, total);
      });
      const entry = { name: new TextEncoder().encode(name), size: blob.size, crc, offset, stamp };
      entry.zip64 = zip64 === 'always' || blob.size >= ZipArchive.largest32 ||
                    offset >= ZipArchive.largest32;
      const header = ZipArchive.#localHeader(entry);
      parts.push(header, blob);
      central.push(ZipArchive.#centralHeader(entry));
      offset += header.length + blob.size;
    }
    const centralSize = central.reduce((sum, header) => sum + header.length, 0);
    parts.push(...central);
    parts.push(...ZipArchive.#end(files.length, centralSize, offset, zip64 === 'always'));
    return new Blob(parts, { type: 'application/zip' });
  }

  // MS-DOS time and date in local time, from 1980 on.
  static #dosTime(date) {
    const year = Math.max(date.getFullYear(), 1980);
    return {
      time: (date.getHours() << 11) | (date.getMinutes() << 5) | (date.getSeconds() >> 1),
      date: ((year - 1980) << 9) | ((date.getMonth() + 1) << 5) | date.getDate(),
    };
  }

  // Bit 11: the name is UTF-8; set where it is not plain ASCII.
  static #flags(entry) {
    return entry.name.some((byte) => byte >= 0x80) ? 0x0800 : 0;
  }

  static #localHeader(entry) {
    const extra = entry.zip64 ? 20 : 0;
    const header = new ByteFields(30 + entry.name.length + extra);
    header.u32(0x04034b50).u16(entry.zip64 ? 45 : 20).u16(ZipArchive.#flags(entry)).u16(0)
      .u16(entry.stamp.time).u16(entry.stamp.date).u32(entry.crc);
    const size = entry.zip64 ? ZipArchive.largest32 : entry.size;
    header.u32(size).u32(size).u16(entry.name.length).u16(extra).bytes(entry.name);
    if (entry.zip64) header.u16(0x0001).u16(16).u64(entry.size).u64(entry.size);
    return header.array;
  }

  static #centralHeader(entry) {
    // A Zip64 entry gives both sizes and its offset in its extra field.
    const extra = entry.zip64 ? 28 : 0;
    const field = (value) => (entry.zip64 ? ZipArchive.largest32 : value);
    const header = new ByteFields(46 + entry.name.length + extra);
    header.u32(0x02014b50).u16((3 << 8) | (entry.zip64 ? 45 : 20)).u16(entry.zip64 ? 45 : 20)
      .u16(ZipArchive.#flags(entry)).u16(0).u16(entry.stamp.time).u16(entry.stamp.date)
      .u32(entry.crc).u32(field(entry.size)).u32(field(entry.size)).u16(entry.name.length)
      .u16(extra).u16(0).u16(0).u16(0).u32(0o100644 * 0x10000).u32(field(entry.offset))
      .bytes(entry.name);
    if (entry.zip64) header.u16(0x0001).u16(24).u64(entry.size).u64(entry.size).u64(entry.offset);
    return header.array;
  }

  // The end records: Zip64's record and locator where the count, the
  // central directory's size or its offset do not fit, then the classic
  // end record.
  static #end(count, centralSize, centralOffset, forced) {
    const zip64 = forced || count >= ZipArchive.largest16 ||
                  centralSize >= ZipArchive.largest32 || centralOffset >= ZipArchive.largest32;
    const records = [];
    if (zip64) {
      const endOffset = centralOffset + centralSize;
      records.push(new ByteFields(56).u32(0x06064b50).u64(44).u16((3 << 8) | 45).u16(45).u32(0).u32(0)
        .u64(count).u64(count).u64(centralSize).u64(centralOffset).array);
      records.push(new ByteFields(20).u32(0x07064b50).u32(0).u64(endOffset).u32(1).array);
    }
    const clip16 = (value) => (zip64 ? ZipArchive.largest16 : value);
    const clip32 = (value) => (zip64 ? ZipArchive.largest32 : value);
    records.push(new ByteFields(22).u32(0x06054b50).u16(0).u16(0).u16(clip16(count))
      .u16(clip16(count)).u32(clip32(centralSize)).u32(clip32(centralOffset)).u16(0).array);
    return records;
  }
}

// Little-endian fields written into a byte array of a known length.
class ByteFields {
  constructor(length) {
    this.array = new Uint8Array(length);
    this.view = new DataView(this.array.buffer);
    this.at = 0;
  }

  u16(value) {
    this.view.setUint16(this.at, value, true);
    this.at += 2;
    return this;
  }

  u32(value) {
    this.view.setUint32(this.at, value, true);
    this.at += 4;
    return this;
  }

  u64(value) {
    this.view.setBigUint64(this.at, BigInt(value), true);
    this.at += 8;
    return this;
  }

  bytes(values) {
    this.array.set(values, this.at);
    this.at += values.length;
    return this;
  }
}
