// Reads .pst files with pst-extractor (a JavaScript reader of its own lineage) and prints a
// JSON summary per file: every folder with its messages, or the error that stopped it.
// pst-extractor logs a message it cannot load and skips it; such lines are collected as
// "logged" so that the caller can count them as failures.
// Usage: NODE_PATH=<node_modules> node pst_extractor_dump.js FILE...
const {PSTFile} = require('pst-extractor');

const logged = [];
for (const name of ['log', 'error', 'warn']) console[name] = (...args) => logged.push(args.join(' '));

// PT_MV_UNICODE as stored: count, offsets, UTF-16LE strings.
function multiUnicode(data) {
  if (!data || data.length < 4) return [];
  const n = data.readUInt32LE(0);
  const offsets = [];
  for (let i = 0; i < n; ++i) offsets.push(data.readUInt32LE(4 + 4 * i));
  return offsets.map((start, i) => data.slice(start, i + 1 < n ? offsets[i + 1] : data.length).toString('utf16le'));
}

function namedStrings(pst, message, names) {
  const out = {};
  for (const name of names) {
    const id = PSTFile.getPublicStringToIdMapItem(name);
    const item = id > 0 && message.pstTableItems ? message.pstTableItems.get(id) : undefined;
    if (item) out[name] = multiUnicode(item.data);
  }
  return out;
}

// getRecipient(i) and getAttachment(i) parse the whole table on every call (twice for
// recipients); a message with hundreds of them would take minutes. Parse each table once.
function memoizeRows(table) {
  if (!table || table.memoized) return;
  const rows = table.getItems();
  const original = table.getItems.bind(table);
  table.getItems = (start, count) => (start === undefined ? rows : original(start, count));
  table.memoized = true;
}

function messageSummary(pst, m) {
  const out = {subject: m.subject, messageClass: m.messageClass, sender: m.senderEmailAddress,
    body: m.body, html: m.bodyHTML, recipients: [], attachments: [], named: namedStrings(pst, m, ['Keywords'])};
  for (let i = 0; i < m.numberOfRecipients; ++i) {
    if (i == 0) memoizeRows(m.recipientTable);
    const r = m.getRecipient(i);
    out.recipients.push({name: r.displayName, email: r.emailAddress, type: r.recipientType});
  }
  for (let i = 0; i < m.numberOfAttachments; ++i) {
    if (i == 0) memoizeRows(m.attachmentTable);
    const a = m.getAttachment(i);
    const item = {name: a.longFilename || a.filename, method: a.attachMethod, size: -1};
    if (a.attachMethod === 5) {
      const inner = a.embeddedPSTMessage;
      item.embedded = inner ? messageSummary(pst, inner) : null;
    } else {
      const stream = a.fileInputStream;
      item.size = stream ? stream.length.toNumber() : -1;
    }
    out.attachments.push(item);
  }
  return out;
}

function folderSummary(pst, folder, path, out) {
  const entry = {path, contentCount: folder.contentCount, messages: []};
  out.push(entry);
  if (folder.contentCount > 0) {
    for (let m = folder.getNextChild(); m != null; m = folder.getNextChild()) entry.messages.push(messageSummary(pst, m));
  }
  if (folder.hasSubfolders) {
    for (const sub of folder.getSubFolders()) folderSummary(pst, sub, path + '/' + sub.displayName, out);
  }
}

const results = {};
for (const f of process.argv.slice(2)) {
  logged.length = 0;
  try {
    const pst = new PSTFile(f);
    const folders = [];
    folderSummary(pst, pst.getRootFolder(), '', folders);
    pst.close();
    results[f] = {folders, logged: [...logged]};
  } catch (e) {
    results[f] = {exception: String(e && e.stack || e), logged: [...logged]};
  }
}
process.stdout.write(JSON.stringify(results));
