// The studio page: the host's scene in a three.js viewport (Z up, scene units), a time slider
// playing back the recorded placements the server streams, the mode buttons, live progress and
// the rollouts of the selected node. Everything comes from the studio's own server.
import * as THREE from 'three';
import { OrbitControls } from 'three/addons/OrbitControls.js';

THREE.Object3D.DEFAULT_UP.set(0, 0, 1);

const $ = (id) => document.getElementById(id);
const params = new URLSearchParams(location.search);
const token = params.get('token') || '';
if (params.get('view') === 'only') document.body.classList.add('view-only');
// Frames fetched per request while playing.
const CHUNK = 30;

// --- server ------------------------------------------------------------------------------------

const stats = { bytes: 0, frameBytes: 0, frameRequests: 0, framesFetched: 0, sceneLoads: 0 };

async function api(path, body) {
  const init = { headers: token ? { 'X-Quarix-Token': token } : {} };
  if (body !== undefined) {
    init.method = 'POST';
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  const res = await fetch('api/' + path, init);
  if (!res.ok) {
    let message = res.statusText;
    try { message = (await res.json()).error; } catch (e) { /* not JSON */ }
    throw new Error(`${res.status}: ${message}`);
  }
  const type = res.headers.get('Content-Type') || '';
  if (type.startsWith('application/json')) return res.json();
  const buffer = await res.arrayBuffer();
  stats.bytes += buffer.byteLength;
  return buffer;
}

function showStatus(text) {
  $('status').textContent = text || '';
}

// --- binary decoding ---------------------------------------------------------------------------

function magic(view) {
  return String.fromCharCode(view.getUint8(0), view.getUint8(1), view.getUint8(2), view.getUint8(3));
}

/** Pieces: [{node, body, colour, positions, indices}] and the layout version. */
function decodePieces(buffer) {
  const view = new DataView(buffer);
  if (magic(view) !== 'QXP1') throw new Error('not a piece set');
  const count = view.getUint32(4, true), version = view.getUint32(8, true);
  const pieces = [];
  let at = 12;
  for (let i = 0; i < count; ++i) {
    const node = view.getUint32(at, true), body = view.getInt32(at + 4, true);
    const colour = view.getUint32(at + 8, true);
    const nv = view.getUint32(at + 12, true), nt = view.getUint32(at + 16, true);
    at += 20;
    const positions = new Float32Array(buffer.slice(at, at + nv * 12));
    at += nv * 12;
    const indices = new Uint32Array(buffer.slice(at, at + nt * 12));
    at += nt * 12;
    pieces.push({ node, body, colour, positions, indices });
  }
  return { pieces, version };
}

/** Frames: {from, count, pieces, values: Float32Array of count * pieces * 7}. */
function decodeFrames(buffer) {
  const view = new DataView(buffer);
  if (magic(view) !== 'QXF1') throw new Error('not a frame block');
  const from = view.getInt32(4, true), count = view.getUint32(8, true);
  const pieces = view.getUint32(12, true);
  return { from, count, pieces, values: new Float32Array(buffer, 16, count * pieces * 7) };
}

// --- viewport ----------------------------------------------------------------------------------

const canvas = $('viewport');
const renderer = new THREE.WebGLRenderer({ canvas, antialias: params.get('aa') === '1', preserveDrawingBuffer: true });
renderer.shadowMap.enabled = params.get('shadows') !== '0';
renderer.setPixelRatio(1);
const scene = new THREE.Scene();
scene.background = new THREE.Color(0x2b3036);
const camera = new THREE.PerspectiveCamera(40, 1, 1, 100000);
camera.position.set(1500, -2000, 1000);
const controls = new OrbitControls(camera, canvas);
// Software GL in a headless browser is slow: the scene is drawn only when something changed,
// and without multisampling unless ?aa=1 asks (it costs five times the frame when bricks tumble).
let dirty = true;
const redraw = () => { dirty = true; };
controls.addEventListener('change', redraw);
scene.add(new THREE.HemisphereLight(0xffffff, 0x445566, 1.6));
const sun = new THREE.DirectionalLight(0xffffff, 2.0);
sun.castShadow = true;
sun.shadow.mapSize.set(1024, 1024);
sun.shadow.bias = -0.0005;
sun.shadow.normalBias = 0.5;
scene.add(sun, sun.target);
const ground = new THREE.Mesh(new THREE.PlaneGeometry(1, 1), new THREE.ShadowMaterial({ opacity: 0.35 }));
ground.receiveShadow = true;
scene.add(ground);
let grid = null;
const world = new THREE.Group();
scene.add(world);

function resize() {
  const w = canvas.clientWidth, h = canvas.clientHeight;
  if (canvas.width !== w || canvas.height !== h) {
    renderer.setSize(w, h, false);
    camera.aspect = w / Math.max(1, h);
    camera.updateProjectionMatrix();
    redraw();
  }
}

/** Places camera, light, ground and grid around a box (scene units). */
function frameBox(box) {
  if (box.isEmpty()) return;
  const size = box.getSize(new THREE.Vector3()), centre = box.getCenter(new THREE.Vector3());
  const radius = Math.max(size.length() / 2, 10);
  controls.target.copy(centre);
  camera.position.copy(centre).add(new THREE.Vector3(0.9, -1.6, 0.7).multiplyScalar(radius * 1.2));
  camera.near = radius / 100;
  camera.far = radius * 100;
  camera.updateProjectionMatrix();
  controls.update();
  sun.position.copy(centre).add(new THREE.Vector3(0.6, -0.8, 1.5).multiplyScalar(radius * 2));
  sun.target.position.copy(centre);
  const s = sun.shadow.camera;
  s.left = s.bottom = -radius * 1.5;
  s.right = s.top = radius * 1.5;
  s.near = radius * 0.1;
  s.far = radius * 6;
  s.updateProjectionMatrix();
  const extent = Math.pow(10, Math.ceil(Math.log10(radius * 4)));
  ground.scale.set(extent, extent, 1);
  ground.position.set(centre.x, centre.y, 0);
  if (grid) scene.remove(grid);
  grid = new THREE.GridHelper(extent, 20, 0x667788, 0x3c444c);
  grid.rotation.x = Math.PI / 2;
  grid.position.set(centre.x, centre.y, 0);
  scene.add(grid);
  redraw();
}

// --- pieces: one instanced mesh per distinct geometry and colour -------------------------------

const state = {
  tree: null, pieces: [], version: -1, groups: [], frame: 0, playing: false,
  frames: new Map(), pending: new Map(), selected: null, progress: null, firstView: true,
  rendered: 0,
};

function geometryKey(p) {
  // Equal shapes draw as instances of one buffer: a wall's bricks, whose body-space vertices
  // differ only in the last bits of their centring, are keyed on vertices rounded to 1/1000 of
  // a scene unit.
  let h = 2166136261;
  const mix = (v) => { h = Math.imul(h ^ (v & 0xffff), 16777619); h = Math.imul(h ^ (v >>> 16), 16777619); };
  for (let i = 0; i < p.positions.length; ++i) mix(Math.round(p.positions[i] * 1000) | 0);
  for (let i = 0; i < p.indices.length; ++i) mix(p.indices[i]);
  return `${h >>> 0}:${p.positions.length}:${p.indices.length}:${p.colour}`;
}

function buildPieces(pieces) {
  for (const g of state.groups) {
    world.remove(g.mesh);
    g.mesh.geometry.dispose();
    g.mesh.material.dispose();
  }
  const byKey = new Map();
  pieces.forEach((p, i) => {
    const key = geometryKey(p);
    if (!byKey.has(key)) byKey.set(key, { first: p, members: [] });
    byKey.get(key).members.push(i);
  });
  state.groups = [];
  for (const { first, members } of byKey.values()) {
    const geometry = new THREE.BufferGeometry();
    geometry.setAttribute('position', new THREE.BufferAttribute(first.positions, 3));
    geometry.setIndex(new THREE.BufferAttribute(first.indices, 1));
    const flat = geometry.toNonIndexed();
    flat.computeVertexNormals();
    geometry.dispose();
    const material = new THREE.MeshStandardMaterial({
      color: new THREE.Color(first.colour).convertSRGBToLinear(), roughness: 0.8, flatShading: true,
    });
    const mesh = new THREE.InstancedMesh(flat, material, members.length);
    mesh.castShadow = mesh.receiveShadow = true;
    mesh.frustumCulled = false;
    members.forEach((pieceIndex, slot) => {
      pieces[pieceIndex].group = state.groups.length;
      pieces[pieceIndex].slot = slot;
    });
    mesh.userData.members = members;
    state.groups.push({ mesh, members });
    world.add(mesh);
  }
  state.pieces = pieces;
}

const tmp = { m: new THREE.Matrix4(), p: new THREE.Vector3(), q: new THREE.Quaternion(),
              one: new THREE.Vector3(1, 1, 1), zero: new THREE.Vector3(0, 0, 0) };

/** Places every piece from one frame's values. */
function applyValues(values) {
  state.pieces.forEach((piece, i) => {
    const v = values.subarray(i * 7, i * 7 + 7);
    const alive = !Number.isNaN(v[0]);
    tmp.p.set(alive ? v[0] : 0, alive ? v[1] : 0, alive ? v[2] : 0);
    tmp.q.set(v[3], v[4], v[5], v[6]);
    if (!alive) tmp.q.identity();
    tmp.m.compose(tmp.p, tmp.q, alive ? tmp.one : tmp.zero);
    state.groups[piece.group].mesh.setMatrixAt(piece.slot, tmp.m);
  });
  for (const g of state.groups) {
    g.mesh.instanceMatrix.needsUpdate = true;
    // Bounds follow the instances (picking tests them first).
    g.mesh.boundingSphere = null;
    g.mesh.boundingBox = null;
  }
  redraw();
}

// --- frames: fetched in chunks, cached until the layout changes ---------------------------------

function range() {
  return state.tree ? [state.tree.start, state.tree.end] : [0, 0];
}

/** Fetches frames [from, from + count) into the cache; a frame already on its way is awaited. */
async function fetchFrames(from, count) {
  const [start, end] = range();
  from = Math.max(start, from);
  count = Math.min(count, end - from + 1);
  const waiting = [];
  for (let f = from; f < from + count; ++f) if (state.pending.has(f)) waiting.push(state.pending.get(f));
  if (waiting.length) {
    await Promise.all(waiting);
    return;
  }
  const version = state.version;
  const request = (async () => {
    const buffer = await api(`frames?from=${from}&count=${count}`);
    stats.frameBytes += buffer.byteLength;
    stats.frameRequests += 1;
    const block = decodeFrames(buffer);
    stats.framesFetched += block.count;
    if (version !== state.version || block.pieces !== state.pieces.length) return;
    for (let k = 0; k < block.count; ++k) {
      state.frames.set(block.from + k,
        block.values.subarray(k * block.pieces * 7, (k + 1) * block.pieces * 7));
    }
  })();
  for (let f = from; f < from + count; ++f) state.pending.set(f, request);
  try {
    await request;
  } finally {
    for (let f = from; f < from + count; ++f) if (state.pending.get(f) === request) state.pending.delete(f);
  }
}

/** Shows `frame`: from the cache, else after fetching it (and the frames after it). */
async function showFrame(frame) {
  state.frame = frame;
  $('slider').value = frame;
  $('frame-readout').textContent = `${frame} / ${range()[1]}`;
  if (!state.frames.has(frame)) await fetchFrames(frame, state.playing ? CHUNK : 1);
  if (state.frame !== frame || !state.frames.has(frame)) return;
  applyValues(state.frames.get(frame));
  state.rendered = frame;
  // Keep a chunk ahead while playing.
  const ahead = frame + CHUNK / 2;
  if (state.playing && ahead <= range()[1] && !state.frames.has(ahead)) fetchFrames(ahead, CHUNK);
}

async function loadPieces() {
  const { pieces, version } = decodePieces(await api('pieces'));
  state.version = version;
  state.frames.clear();
  buildPieces(pieces);
  await showFrame(state.frame);
  if (state.firstView && pieces.length) {
    state.firstView = false;
    world.updateMatrixWorld(true);
    const box = new THREE.Box3();
    for (const g of state.groups) {
      g.mesh.computeBoundingBox();
      box.union(g.mesh.boundingBox);
    }
    box.min.z = Math.min(box.min.z, 0);
    frameBox(box);
  }
}

// --- scene tree, selection, node actions --------------------------------------------------------

function nodeName(id) {
  const node = state.tree.nodes.find((n) => n.id === id);
  return node ? node.name : String(id);
}

function renderTree() {
  const list = $('tree');
  list.replaceChildren();
  for (const node of state.tree.nodes) {
    const li = document.createElement('li');
    li.dataset.node = node.id;
    li.className = node.id === state.selected ? 'selected' : '';
    const swatch = document.createElement('span');
    swatch.className = 'swatch';
    swatch.style.background = `rgb(${node.wire.join(',')})`;
    const name = document.createElement('span');
    name.className = 'name';
    name.textContent = node.name;
    const cls = document.createElement('span');
    cls.className = 'cls';
    cls.textContent = [node.class, ...node.modifiers].filter(Boolean).join(' + ');
    li.append(swatch, name, cls);
    li.addEventListener('click', () => (state.progress && state.progress.picking ? pick(node.id) : select(node.id)));
    list.append(li);
  }
  const [start, end] = range();
  $('slider').min = start;
  $('slider').max = end;
}

function select(id) {
  state.selected = id;
  for (const li of $('tree').children) li.classList.toggle('selected', Number(li.dataset.node) === id);
  const enabled = id !== null && state.tree.world !== null && id !== state.tree.world;
  for (const b of ['add-sim', 'add-forces', 'bake']) $(b).disabled = !enabled;
  for (const g of state.groups) {
    const chosen = g.members.some((i) => state.pieces[i].node === id);
    g.mesh.material.emissive.setHex(chosen ? 0x333333 : 0x000000);
  }
  redraw();
  loadRollouts();
}

const raycaster = new THREE.Raycaster();
let downAt = null;
canvas.addEventListener('pointerdown', (e) => { downAt = [e.clientX, e.clientY]; });
canvas.addEventListener('pointerup', (e) => {
  if (!downAt || Math.hypot(e.clientX - downAt[0], e.clientY - downAt[1]) > 4) return;
  const r = canvas.getBoundingClientRect();
  const ndc = new THREE.Vector2(((e.clientX - r.left) / r.width) * 2 - 1, -((e.clientY - r.top) / r.height) * 2 + 1);
  raycaster.setFromCamera(ndc, camera);
  const hit = raycaster.intersectObjects(state.groups.map((g) => g.mesh), false)[0];
  const node = hit ? state.pieces[hit.object.userData.members[hit.instanceId]].node : null;
  if (state.progress && state.progress.picking) pick(node);
  else select(node);
});

/** Offers a node to the running pick mode (null ends it). */
function pick(node) {
  act('pick', node === null ? {} : { node }).then((answer) => {
    if (answer) renderRollouts(answer);
    pollProgress();
  });
}
canvas.addEventListener('contextmenu', (e) => {
  if (state.progress && state.progress.picking) {
    e.preventDefault();
    pick(null);
  }
});

async function act(path, body) {
  try {
    showStatus('');
    return await api(path, body);
  } catch (e) {
    showStatus(e.message);
    return null;
  }
}

$('add-sim').addEventListener('click', () => act('list', { list: 'NodesList', node: state.selected }).then(refreshScene));
$('add-forces').addEventListener('click', () => act('list', { list: 'ForcesList', node: state.selected }).then(refreshScene));
$('bake').addEventListener('click', () => act('bake', { node: state.selected }).then(refreshScene));

// --- rollouts ------------------------------------------------------------------------------------

/** One control of the dialog model's snapshot as an HTML element (null: not shown). */
function control(rollout, c, linkedEdits) {
  const send = (body) => act('rollouts/action', { rollout: rollout.serial, control: c.id, ...body })
    .then((answer) => { if (answer) renderRollouts(answer); });
  if (!c.visible || linkedEdits.has(c.id)) return null;
  let el;
  if (c.kind === 'button' || c.kind === 'checkbox') {
    el = document.createElement('button');
    el.textContent = c.text || `#${c.id}`;
    if (c.checkButton) el.setAttribute('aria-pressed', c.checked ? 'true' : 'false');
    el.disabled = !c.enabled;
    el.addEventListener('click', () => send({ action: 'click' }));
  } else if (c.kind === 'spinner') {
    el = document.createElement('label');
    const input = document.createElement('input');
    Object.assign(input, { type: 'number', value: c.value, min: c.min, max: c.max, step: 'any', disabled: !c.enabled });
    input.addEventListener('change', () => send({ action: 'spinner', value: Number(input.value) }));
    el.append(`#${c.id}`, input);
  } else if (c.kind === 'combo' || c.kind === 'list') {
    el = document.createElement('select');
    if (c.kind === 'list') {
      el.size = Math.max(3, Math.min(8, c.items.length));
      el.multiple = c.multiSelect;
    }
    c.items.forEach((item, i) => el.add(new Option(item, i, false, c.selection.includes(i) || i === c.curSel)));
    el.disabled = !c.enabled;
    el.addEventListener('change', () => send({ action: c.kind === 'combo' ? 'combo' : 'select', index: el.selectedIndex }));
    el.addEventListener('dblclick', () => send({ action: 'doubleclick', index: el.selectedIndex }));
  } else if (c.kind === 'edit') {
    el = document.createElement('input');
    Object.assign(el, { value: c.text, disabled: !c.enabled });
    el.addEventListener('change', () => send({ action: 'type', text: el.value }));
  } else if (c.kind === 'group') {
    el = document.createElement('h4');
    el.textContent = c.text;
  } else {
    el = document.createElement('span');
    el.textContent = c.text;
  }
  el.dataset.control = c.id;
  return el;
}

function renderRollouts({ rollouts }) {
  const panel = $('rollouts');
  if (!rollouts.length) {
    panel.innerHTML = '<p class="note">No rollouts.</p>';
    return;
  }
  panel.replaceChildren(...rollouts.map((r) => {
    const box = document.createElement('div');
    box.className = 'rollout';
    box.dataset.title = r.title;
    box.dataset.serial = r.serial;
    const title = document.createElement('h3');
    title.textContent = r.title;
    const controls = document.createElement('div');
    controls.className = 'controls';
    // A spinner's edit field is drawn by the spinner's number input.
    const linkedEdits = new Set(r.controls.filter((c) => c.kind === 'spinner' && c.linked).map((c) => c.linked));
    controls.append(...r.controls.map((c) => control(r, c, linkedEdits)).filter(Boolean));
    box.append(title, controls);
    return box;
  }));
}

async function loadRollouts() {
  const panel = $('rollouts');
  if (state.selected === null) {
    panel.innerHTML = '<p class="note">Select a node.</p>';
    return;
  }
  try {
    renderRollouts(await api(`rollouts?node=${state.selected}`));
  } catch (e) {
    panel.innerHTML = '';
    const p = document.createElement('p');
    p.className = 'note';
    p.textContent = e.message;
    panel.append(p);
  }
}

// --- modes and progress ---------------------------------------------------------------------------

for (const b of document.querySelectorAll('#modes button')) {
  b.addEventListener('click', () => act('mode', { mode: b.dataset.mode }).then(pollProgress));
}

function drawChart(history) {
  const c = $('chart'), g = c.getContext('2d');
  g.clearRect(0, 0, c.width, c.height);
  if (!history.length) return;
  const series = [[1, '#d98d2b'], [2, '#5fa8e0']];
  for (const [k, colour] of series) {
    const max = Math.max(1e-6, ...history.map((h) => h[k]));
    g.strokeStyle = colour;
    g.beginPath();
    history.forEach((h, i) => {
      const x = (i / Math.max(1, history.length - 1)) * (c.width - 4) + 2;
      const y = c.height - 4 - (h[k] / max) * (c.height - 10);
      if (i) g.lineTo(x, y); else g.moveTo(x, y);
    });
    g.stroke();
  }
}

let polling = false;
async function pollProgress() {
  if (polling) return;
  polling = true;
  try {
    await updateProgress();
  } catch (e) {
    showStatus(e.message);
  } finally {
    polling = false;
  }
}

async function updateProgress() {
  const p = await api('progress');
  const wasRunning = state.progress && state.progress.running;
  state.progress = p;
  for (const b of document.querySelectorAll('#modes button.mode')) {
    const on = p.running && p.mode === b.dataset.mode;
    b.classList.toggle('checked', on);
    b.setAttribute('aria-pressed', on ? 'true' : 'false');
    b.disabled = !p.canSimulate;
  }
  $('run-frame').textContent = p.frame;
  $('alive').textContent = p.bodiesAlive;
  $('ms').textContent = p.msPerFrame.toFixed(1);
  drawChart(p.history);
  if (wasRunning && !p.running) state.frame = Math.max(range()[0], Math.min(range()[1], p.frame - 1));
  if (p.piecesVersion !== state.version) {
    await refreshScene();
    if (wasRunning && !p.running) loadRollouts();
  } else if (p.running) {
    // Follow the run: the newest frame is fetched fresh.
    const live = Math.max(range()[0], Math.min(range()[1], p.frame - 1));
    state.frames.delete(live);
    await showFrame(live);
  } else if (wasRunning) {
    state.frames.clear();
    await showFrame(state.frame);
  }
}

async function refreshScene() {
  stats.sceneLoads += 1;
  state.tree = await api('scene');
  renderTree();
  await loadPieces();
  if (state.selected !== null) loadRollouts();
}

// --- time slider and playback -------------------------------------------------------------------

let timeTimer = null;
$('slider').addEventListener('input', () => {
  const f = Number($('slider').value);
  showFrame(f);
  clearTimeout(timeTimer);
  timeTimer = setTimeout(() => act('time', { frame: f }), 150);
});

function setPlaying(on) {
  state.playing = on;
  $('play').innerHTML = on ? '&#10074;&#10074;' : '&#9654;';
  playClock = performance.now();
}
$('play').addEventListener('click', () => setPlaying(!state.playing));

let playClock = 0;
const fps = { frames: 0, since: performance.now(), value: 0 };
// Benchmark mode (?bench=1): one new frame every animation frame, looping, as fast as it draws.
const bench = params.get('bench') === '1';

function tick(now) {
  resize();
  if (state.playing && state.tree) {
    const [start, end] = range();
    const step = bench ? 1 : Math.floor(((now - playClock) / 1000) * state.tree.frameRate);
    if (step >= 1 && state.rendered === state.frame) {
      playClock = now;
      showFrame(state.frame + step > end ? start : state.frame + step);
    }
  }
  controls.update();
  if (dirty) {
    dirty = false;
    renderer.render(scene, camera);
    ++fps.frames;
  }
  if (now - fps.since > 1000) {
    fps.value = (fps.frames * 1000) / (now - fps.since);
    fps.frames = 0;
    fps.since = now;
  }
  requestAnimationFrame(tick);
}

// --- start ----------------------------------------------------------------------------------------

/** What the tests and the benchmark read (and nothing the page itself depends on). */
window.studio = {
  ready: false, stats, fps,
  get frame() { return state.rendered; },
  get pieces() { return state.pieces.length; },
  /** Draw calls of the pieces (one per distinct shape and colour). */
  get groups() { return state.groups.length; },
  get tree() { return state.tree; },
  /** Handles of the nodes drawn (at least one live piece). */
  nodesShown() { return [...new Set(state.pieces.map((p) => p.node))]; },
  /** The node handle of piece i. */
  pieceNode(i) { return state.pieces[i].node; },
  /** World position of piece i as currently drawn. */
  piecePosition(i) {
    const p = state.pieces[i];
    const m = new THREE.Matrix4();
    state.groups[p.group].mesh.getMatrixAt(p.slot, m);
    return new THREE.Vector3().setFromMatrixPosition(m).toArray();
  },
  /** Where piece i's centre is drawn, in CSS pixels of the viewport. */
  screenPosition(i) {
    const v = new THREE.Vector3(...this.piecePosition(i)).project(camera);
    return [(v.x + 1) / 2 * canvas.clientWidth, (1 - v.y) / 2 * canvas.clientHeight];
  },
  showFrame, setPlaying, select,
  /** Draws every animation frame for `ms` without changing anything; resolves with the fps. */
  measureDraw(ms) {
    return new Promise((resolve) => {
      const startAt = performance.now();
      let frames = 0;
      const loop = (now) => {
        redraw();
        ++frames;
        if (now - startAt < ms) requestAnimationFrame(loop);
        else resolve((frames * 1000) / (now - startAt));
      };
      requestAnimationFrame(loop);
    });
  },
  /** Resolves after the next drawn frame. */
  drawn() {
    redraw();
    return new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
  },
};

async function start() {
  requestAnimationFrame(tick);
  await refreshScene();
  await pollProgress();
  setInterval(pollProgress, 250);
  window.studio.ready = true;
}
start().catch((e) => showStatus(e.message));
