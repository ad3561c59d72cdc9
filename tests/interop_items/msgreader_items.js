// Reads contact and appointment .msg files with @kenjiuno/msgreader and prints, per file,
// the fields it gives as text, numbers or flags, and its recipient and attachment counts.
// Usage: NODE_PATH=<folder holding @kenjiuno/msgreader> node msgreader_items.js FILE...
const fs = require('fs');
const MsgReader = require('@kenjiuno/msgreader').default;
const results = {};
for (const f of process.argv.slice(2)) {
  try {
    const reader = new MsgReader(fs.readFileSync(f));
    const data = reader.getFileData();
    const out = {};
    for (const [k, v] of Object.entries(data))
      if (['string', 'number', 'boolean'].includes(typeof v)) out[k] = v;
    out.recipients = (data.recipients || []).length;
    out.attachments = (data.attachments || []).length;
    if (data.error) out.exception = String(data.error);
    results[f] = out;
  } catch (e) { results[f] = {exception: String(e && e.stack || e)}; }
}
process.stdout.write(JSON.stringify(results));
