// Reads .msg files with @kenjiuno/msgreader (an independent JavaScript .msg reader with
// its own compound-file parser) and prints a JSON summary per file.
// Usage: NODE_PATH=<folder holding @kenjiuno/msgreader> node msgreader_dump.js FILE...
const fs = require('fs');
const MsgReader = require('@kenjiuno/msgreader').default;
function summary(reader, data, depth) {
  const out = {subject: data.subject, senderName: data.senderName, senderEmail: data.senderEmail || data.senderSmtpAddress,
    body: data.body, html: data.bodyHtml || (data.html ? Buffer.from(data.html).toString('utf8') : undefined),
    recipients: (data.recipients || []).map(r => ({name: r.name, email: r.email || r.smtpAddress, type: r.recipType})),
    messageDeliveryTime: data.messageDeliveryTime, clientSubmitTime: data.clientSubmitTime, error: data.error,
    attachments: []};
  for (const a of (data.attachments || [])) {
    const att = reader.getAttachment(a);
    const item = {fileName: a.fileName, contentLength: a.contentLength, innerMsg: !!a.innerMsgContent, size: att && att.content ? att.content.length : -1};
    if (a.innerMsgContent && a.innerMsgContentFields && depth < 5) item.inner = summary(reader, a.innerMsgContentFields, depth + 1);
    out.attachments.push(item);
  }
  return out;
}
const results = {};
for (const f of process.argv.slice(2)) {
  try {
    const buf = fs.readFileSync(f);
    const reader = new MsgReader(buf);
    const data = reader.getFileData();
    results[f] = summary(reader, data, 0);
  } catch (e) { results[f] = {exception: String(e && e.stack || e)}; }
}
process.stdout.write(JSON.stringify(results));
