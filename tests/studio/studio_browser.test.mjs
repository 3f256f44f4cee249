// The studio page in a real browser against a real `quarix studio` of the demo scene.
// Run by ctest (studio_browser) with QUARIX_EXE, QX_SOURCE_DIR and QX_ARTEFACTS set; exits 77
// (skipped) when no Chromium is installed.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdirSync, readFileSync, writeFileSync, mkdtempSync } from 'node:fs';
import http from 'node:http';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, test } from 'node:test';

const source = process.env.QX_SOURCE_DIR;
const exe = process.env.QUARIX_EXE;
const artefacts = process.env.QX_ARTEFACTS || join(tmpdir(), 'qx-studio-artefacts');
const { findChrome, launch, openStudio } = await import(join(source, 'app/studio/browser.mjs'));
if (!findChrome()) {
  console.log('SKIPPED: no Chromium (install chromium-headless-shell: scripts/setup)');
  process.exit(77);
}

// The demo, shortened: the ball reaches the wall by frame 12.
const END = 40;
const work = mkdtempSync(join(tmpdir(), 'qx-studio-'));
const scenePath = join(work, 'demo-short.json');
const demo = JSON.parse(readFileSync(join(source, 'scenes/demo.json'), 'utf8'));
demo.nodes.find((n) => n.name === 'World').object.params.EndFrame = END;
// A crate beside the wall, not simulated: picked into the simulation list by a test.
demo.nodes.splice(2, 0, { name: 'Crate', mesh: { primitive: 'box', size: [60, 60, 60] },
  position: [500, 400, 30], wireColor: [90, 160, 90] });
writeFileSync(scenePath, JSON.stringify(demo));
mkdirSync(artefacts, { recursive: true });

/** Starts `quarix studio` and resolves with its process and printed address. */
function startStudio(args) {
  const child = spawn(exe, ['studio', scenePath, '--port', '0', ...args], { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    let out = '';
    child.stdout.on('data', (d) => {
      out += d;
      const m = out.match(/(http:\/\/\S+)/);
      if (m) resolve({ child, url: m[1] });
    });
    child.on('exit', (code) => reject(new Error(`quarix studio exited with ${code}: ${out}`)));
  });
}

function stopStudio(s) {
  return new Promise((resolve) => {
    s.child.removeAllListeners('exit');
    s.child.on('exit', resolve);
    s.child.kill('SIGTERM');
  });
}

/** A raw request (the path is sent as written, no URL normalisation). */
function request(base, method, path, body) {
  const { hostname, port } = new URL(base);
  return new Promise((resolve, reject) => {
    const req = http.request({ hostname, port, method, path, headers: { 'Content-Type': 'application/json' } }, (res) => {
      const chunks = [];
      res.on('data', (c) => chunks.push(c));
      res.on('end', () => {
        const text = Buffer.concat(chunks).toString('latin1');
        let json = null;
        try { json = JSON.parse(text); } catch (e) { /* binary or page */ }
        resolve({ status: res.statusCode, text, json });
      });
    });
    req.on('error', reject);
    if (body !== undefined) req.write(body);
    req.end();
  });
}

let studio, browser, page, tree;
const handleOf = (name) => tree.nodes.find((n) => n.name === name).id;
const modeButton = (mode) => `#modes button[data-mode=${mode}]`;

before(async () => {
  studio = await startStudio([]);
  browser = await launch();
  page = await openStudio(browser, studio.url);
  tree = await page.evaluate(() => window.studio.tree);
});

after(async () => {
  if (browser) await browser.close();
  if (studio) await stopStudio(studio);
});

test('the page loads the demo and shows one mesh per node', async () => {
  assert.deepEqual(tree.nodes.map((n) => n.name), ['Wall', 'Ball', 'Crate', 'World']);
  assert.equal(await page.locator('#tree li').count(), 4);
  // Not simulated yet: each node is one piece; the world is a helper and not drawn.
  assert.equal(await page.evaluate(() => window.studio.pieces), 3);
  const shown = await page.evaluate(() => window.studio.nodesShown());
  assert.deepEqual(shown.sort(), [handleOf('Wall'), handleOf('Ball'), handleOf('Crate')].sort());
  assert.equal(await page.textContent('#frame-readout'), `0 / ${END}`);
  assert.deepEqual(page.studioErrors, []);
});

test('bad requests get a 4xx with a message and change nothing', async () => {
  const state = async () => {
    const scene = (await request(studio.url, 'GET', '/api/scene')).json;
    const { time, running, frame, piecesVersion } = (await request(studio.url, 'GET', '/api/progress')).json;
    return { scene, time, running, frame, piecesVersion };
  };
  // The world's rollouts: a serial, a spinner and a list box to aim at.
  const { rollouts } = (await request(studio.url, 'GET', `/api/rollouts?node=${handleOf('World')}`)).json;
  const world = rollouts.find((r) => r.title === 'World');
  const spinner = world.controls.find((c) => c.kind === 'spinner' && c.enabled);
  const objects = rollouts.find((r) => r.title === 'Simulation Objects');
  const listBox = objects.controls.find((c) => c.kind === 'list');
  const action = (body) => JSON.stringify({ rollout: world.serial, ...body });
  const before = await state();
  const cases = [
    ['POST', '/api/rollouts/action', action({ control: 9999, action: 'click' }), 404],
    ['POST', '/api/rollouts/action', JSON.stringify({ rollout: 99999, control: spinner.id, action: 'click' }), 404],
    ['POST', '/api/rollouts/action', action({ control: spinner.id, action: 'spinner', value: spinner.max + 1 }), 422],
    ['POST', '/api/rollouts/action', action({ control: spinner.id, action: 'spinner', value: 'high' }), 400],
    ['POST', '/api/rollouts/action', action({ control: spinner.id, action: 'wiggle' }), 400],
    ['POST', '/api/rollouts/action', JSON.stringify({ rollout: objects.serial, control: listBox.id, action: 'select', index: listBox.items.length }), 422],
    ['POST', '/api/rollouts/action', '{"rollout": 1, "control": ', 400],
    ['POST', '/api/pick', JSON.stringify({ node: handleOf('Crate') }), 409],
    ['GET', '/api/mesh?node=9999&frame=0', undefined, 404],
    ['GET', '/api/mesh?node=abc&frame=0', undefined, 400],
    ['GET', `/api/mesh?node=${handleOf('Wall')}&frame=5000`, undefined, 422],
    ['GET', `/api/mesh?node=${handleOf('Wall')}&frame=1.5`, undefined, 400],
    ['GET', '/api/frames?from=-5', undefined, 422],
    ['GET', '/api/frames', undefined, 400],
    ['POST', '/api/list', JSON.stringify({ list: 'NodesList', node: 9999 }), 404],
    ['POST', '/api/list', JSON.stringify({ list: 'Nodes', node: handleOf('Wall') }), 400],
    ['POST', '/api/list', JSON.stringify({ list: 'NodesList', node: handleOf('Wall') }), 409],
    ['POST', '/api/list', JSON.stringify({ list: 'NodesList', node: handleOf('World') }), 422],
    ['POST', '/api/bake', JSON.stringify({ node: handleOf('Crate') }), 422],
    ['POST', '/api/time', JSON.stringify({ frame: END + 1 }), 422],
    ['POST', '/api/time', JSON.stringify({ frame: 2.5 }), 400],
    ['POST', '/api/time', '{"frame": ', 400],
    ['POST', '/api/mode', '{"mode": "range"', 400],
    ['POST', '/api/mode', JSON.stringify({ mode: 'sideways' }), 400],
    ['POST', '/api/mode', '[]', 400],
    ['POST', '/api/bake', JSON.stringify({ node: 9999 }), 404],
    ['GET', '/api/rollouts?node=9999', undefined, 404],
    ['POST', '/api/rollouts/action', 'not json', 400],
    ['GET', '/../CMakeLists.txt', undefined, 403],
    ['GET', '/%2e%2e/%2e%2e/scenes/demo.json', undefined, 403],
    ['GET', '/vendor/../../QX_Studio_Server.cpp', undefined, 403],
    ['GET', '/no-such-file.js', undefined, 404],
  ];
  for (const [method, path, body, status] of cases) {
    const res = await request(studio.url, method, path, body);
    assert.equal(res.status, status, `${method} ${path}: ${res.text}`);
    assert.ok(res.json && typeof res.json.error === 'string' && res.json.error.length > 5, `${path}: message`);
  }
  assert.deepEqual(await state(), before);
  // The rollouts too: the spinner kept its value.
  const after = (await request(studio.url, 'GET', `/api/rollouts?node=${handleOf('World')}`)).json;
  const again = after.rollouts.find((r) => r.title === 'World').controls.find((c) => c.id === spinner.id);
  assert.equal(again.value, spinner.value);
});

test('pressing Range runs the simulation, the readout advances and the button unchecks at the end', async () => {
  // The world's rollouts in the panel: its "Range" is the button the page's mode button clicks.
  await page.click('#tree li[data-node="' + handleOf('World') + '"]');
  const rolloutRange = '#rollouts .rollout[data-title="World"] button[data-control="1005"]';
  await page.waitForSelector(rolloutRange);
  assert.equal(await page.getAttribute(rolloutRange, 'aria-pressed'), 'false');
  await page.click(rolloutRange);
  await page.waitForFunction((sel) => document.querySelector(sel).getAttribute('aria-pressed') === 'true',
    modeButton('range'), { timeout: 10000 });
  // A second start while running is refused.
  assert.equal((await request(studio.url, 'POST', '/api/mode', '{"mode":"loop"}')).status, 409);
  // So is moving the host's time under the driver.
  assert.equal((await request(studio.url, 'POST', '/api/time', '{"frame": 3}')).status, 409);
  const readouts = [];
  while ((await page.getAttribute(modeButton('range'), 'aria-pressed')) === 'true') {
    readouts.push(Number(await page.textContent('#run-frame')));
    await page.waitForTimeout(300);
    assert.ok(readouts.length < 300, 'the run does not end');
  }
  const distinct = [...new Set(readouts)];
  assert.ok(distinct.length >= 3, `the readout advanced: ${readouts}`);
  assert.deepEqual(distinct, [...distinct].sort((a, b) => a - b), 'the readout never goes back');
  await page.waitForFunction((end) => document.querySelector('#run-frame').textContent === String(end), END);
  // The rollout's button unchecked itself too.
  await page.waitForFunction((sel) => document.querySelector(sel).getAttribute('aria-pressed') === 'false', rolloutRange);
  // Now bodies: 195 bricks and the ball.
  await page.waitForFunction(() => window.studio.pieces === 197); // and the crate
  const progress = (await request(studio.url, 'GET', '/api/progress')).json;
  assert.equal(progress.running, false);
  assert.equal(progress.bodiesAlive, 196);
  assert.ok(progress.history.length >= END - 1);
});

/** Moves the slider as a user does and returns where piece 0 (a brick) and the ball are drawn. */
async function slideTo(frame) {
  await page.evaluate((f) => {
    const s = document.getElementById('slider');
    s.value = f;
    s.dispatchEvent(new Event('input'));
  }, frame);
  await page.waitForFunction((f) => window.studio.frame === f, frame);
  return page.evaluate(() => {
    const ball = window.studio.tree.nodes.find((n) => n.name === 'Ball').id;
    const i = [...Array(window.studio.pieces).keys()].find((k) => window.studio.pieceNode(k) === ball);
    return window.studio.piecePosition(i);
  });
}

test('moving the time slider changes the drawn positions and the host time', async () => {
  const atStart = await slideTo(0);
  const atEnd = await slideTo(END);
  // The ball travels towards +y, from -600 through the wall.
  assert.ok(atEnd[1] - atStart[1] > 300, `ball moved from ${atStart} to ${atEnd}`);
  assert.deepEqual(await slideTo(0), atStart);
  await page.waitForFunction(async () => (await (await fetch('api/progress')).json()).time === 0);
  await slideTo(20);
  await page.waitForFunction(async () => (await (await fetch('api/progress')).json()).time === 20);
});

/** Fraction of the viewport's pixels in the wall's brick red. */
function wallPixels() {
  return page.evaluate(async () => {
    await window.studio.drawn();
    const gl = document.getElementById('viewport');
    const c = document.createElement('canvas');
    c.width = gl.width;
    c.height = gl.height;
    const g = c.getContext('2d');
    g.drawImage(gl, 0, 0);
    const d = g.getImageData(0, 0, c.width, c.height).data;
    let red = 0;
    for (let i = 0; i < d.length; i += 4) if (d[i] > 70 && d[i] > 1.5 * d[i + 1] && d[i] > 1.5 * d[i + 2]) ++red;
    return red / (d.length / 4);
  });
}

test('frame 0 and the last frame are drawn (screenshots kept)', async () => {
  for (const frame of [0, END]) {
    await slideTo(frame);
    const share = await wallPixels();
    await page.locator('#viewport').screenshot({ path: join(artefacts, `studio-frame-${frame}.png`) });
    assert.ok(share > 0.01, `frame ${frame}: wall pixels ${(share * 100).toFixed(2)}%`);
  }
});

test('clicking a brick selects the wall, the tree selects a node; a refused list action shows its message', async () => {
  await slideTo(0);
  const box = await page.locator('#viewport').boundingBox();
  const brick = await page.evaluate((wall) => {
    const i = [...Array(window.studio.pieces).keys()].find((k) => window.studio.pieceNode(k) === wall);
    return window.studio.screenPosition(i);
  }, handleOf('Wall'));
  await page.mouse.click(box.x + brick[0], box.y + brick[1]);
  await page.waitForSelector('#tree li.selected');
  assert.equal(await page.getAttribute('#tree li.selected', 'data-node'), String(handleOf('Wall')));
  // Its modifier's rollouts replace the world's.
  await page.waitForSelector('#rollouts .rollout[data-title="Animation"]');
  await page.click('#add-sim');
  await page.waitForFunction(() => document.getElementById('status').textContent.startsWith('409'));
  const listed = (await request(studio.url, 'GET', '/api/scene')).json.lists.NodesList;
  assert.deepEqual(listed, [handleOf('Wall'), handleOf('Ball')]);
});

test('picking a node into the simulation list adds the modifier', async () => {
  await page.click('#tree li[data-node="' + handleOf('Crate') + '"]');
  await page.click('#add-sim');
  await page.waitForFunction((crate) => window.studio.tree.lists.NodesList.includes(crate), handleOf('Crate'));
  const crate = (await page.evaluate(() => window.studio.tree)).nodes.find((n) => n.name === 'Crate');
  assert.deepEqual(crate.modifiers, ['Quarix Rigid']);
  assert.match(await page.textContent(`#tree li[data-node="${crate.id}"] .cls`), /Quarix Rigid/);
});

test('Bake creates nodes the tree shows', async () => {
  const before = (await page.evaluate(() => window.studio.tree)).nodes.length;
  await page.click('#tree li[data-node="' + handleOf('Wall') + '"]');
  await page.click('#bake');
  await page.waitForFunction((n) => window.studio.tree.nodes.length > n, before);
  const names = await page.locator('#tree li .name').allTextContents();
  // One node per brick, named after the wall.
  assert.equal(names.filter((n) => n.startsWith('Wall_')).length, 195);
  assert.equal(await page.locator('#tree li').count(), before + 195);
  assert.equal(await page.textContent('#status'), '');
});

test('an address other than 127.0.0.1 needs the printed token', async () => {
  const other = await startStudio(['--host', '127.0.0.2']);
  try {
    const url = new URL(other.url);
    const token = url.searchParams.get('token');
    assert.match(token, /^[0-9a-f]{32}$/);
    assert.equal((await request(other.url, 'GET', '/api/scene')).status, 403);
    assert.equal((await request(other.url, 'GET', '/?token=' + '0'.repeat(32))).status, 403);
    assert.equal((await request(other.url, 'GET', '/api/scene?token=' + token)).status, 200);
    // The page gets a cookie with the token, so its scripts and API calls need not carry it.
    const pageRes = await new Promise((resolve) => http.get(other.url, resolve));
    pageRes.resume();
    assert.equal(pageRes.statusCode, 200);
    const cookie = pageRes.headers['set-cookie'][0].split(';')[0];
    assert.equal(cookie, `quarix_token=${token}`);
    const { hostname, port } = url;
    const withCookie = await new Promise((resolve) =>
      http.get({ hostname, port, path: '/studio.js', headers: { Cookie: `a=b; ${cookie}` } }, resolve));
    withCookie.resume();
    assert.equal(withCookie.statusCode, 200);
  } finally {
    await stopStudio(other);
  }
});

test('quarix render writes a contact sheet and refuses frames outside the scene', async () => {
  const run = (args) => new Promise((resolve) => {
    const child = spawn(exe, ['render', scenePath, ...args], { stdio: ['ignore', 'pipe', 'pipe'] });
    let err = '';
    child.stderr.on('data', (d) => { err += d; });
    child.on('exit', (code) => resolve({ code, err }));
  });
  const out = join(artefacts, 'studio-sheet.png');
  const good = await run(['--frames', `0,${END}`, '--out', out]);
  assert.equal(good.code, 0, good.err);
  const png = readFileSync(out);
  assert.equal(png.subarray(1, 4).toString(), 'PNG');
  // Two shots side by side at the default 640 x 400.
  assert.equal(png.readUInt32BE(16), 1280);
  assert.ok(png.readUInt32BE(20) >= 400);
  const bad = await run(['--frames', `0,${END + 50}`, '--out', join(work, 'bad.png')]);
  assert.notEqual(bad.code, 0);
  assert.match(bad.err, /outside/);
});
