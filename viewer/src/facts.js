// The run's facts and its glTF file, as spindle wrote them into the page:
// two script elements of data that nothing runs.

// The facts record: {title, summary, notes, tree, glbBytes}.
export function readFacts() {
  const element = document.getElementById('spindle-facts');
  const facts = JSON.parse(element.textContent);
  return {
    title: String(facts.title ?? ''),
    summary: String(facts.summary ?? ''),
    notes: Array.isArray(facts.notes) ? facts.notes.map(String) : [],
    tree: Array.isArray(facts.tree) ? facts.tree.map(String) : [],
    glbBytes: Number(facts.glbBytes),
  };
}

// The glb's bytes, decoded from the base64 text in one call (the browser's
// own decoder: Uint8Array.fromBase64 where there is one, else a data: URL
// fetched, never a loop over characters).  The text is dropped from the
// page once decoded.  Fails when the bytes are not as many as the facts say.
export async function readGlb(expectedBytes) {
  const element = document.getElementById('spindle-glb');
  const text = element.textContent.trim();
  element.textContent = '';
  let bytes;
  if (typeof Uint8Array.fromBase64 === 'function') {
    bytes = Uint8Array.fromBase64(text);
  } else {
    const response = await fetch(`data:application/octet-stream;base64,${text}`);
    bytes = new Uint8Array(await response.arrayBuffer());
  }
  if (Number.isFinite(expectedBytes) && bytes.byteLength !== expectedBytes)
    throw new Error(`the page's glTF holds ${bytes.byteLength} bytes where its facts say ${expectedBytes}`);
  const whole = bytes.byteOffset === 0 && bytes.byteLength === bytes.buffer.byteLength;
  return whole ? bytes.buffer : bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength);
}
