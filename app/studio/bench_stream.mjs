// The studio_stream benchmark: a scene simulated by `quarix studio`, then played back in the page
// in headless Chromium. Prints one JSON object: playback frames per second, bytes per frame
// streamed after the first, and side by side the page drawing the same pieces without new
// frames (the renderer's own limit) and what sending every piece's mesh per frame would cost.
//   node bench_stream.mjs QUARIX SCENE [SECONDS]
import { spawn } from 'node:child_process';
import { launch, openStudio } from './browser.mjs';

const [exe, scene, seconds = '6'] = process.argv.slice(2);
const result = { benchmark: 'studio_stream' };
const finish = (extra) => {
  console.log(JSON.stringify({ ...result, ...extra }));
};

const studio = spawn(exe, ['studio', scene, '--port', '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
const url = await new Promise((resolve, reject) => {
  let out = '';
  studio.stdout.on('data', (d) => {
    out += d;
    const m = out.match(/(http:\/\/\S+)/);
    if (m) resolve(m[1]);
  });
  studio.on('exit', (code) => reject(new Error(`quarix studio exited with ${code}`)));
});
const api = async (path, body) => {
  const res = await fetch(url + 'api/' + path, body ? { method: 'POST', body: JSON.stringify(body) } : {});
  return res.json();
};

let browser;
try {
  const simStart = Date.now();
  await api('mode', { mode: 'range' });
  let progress;
  do {
    await new Promise((r) => setTimeout(r, 250));
    progress = await api('progress');
  } while (progress.running);
  result.simulate_s = (Date.now() - simStart) / 1000;
  result.bodies = progress.bodiesAlive;
  const tree = await api('scene');
  result.frames = tree.end - tree.start + 1;

  browser = await launch();
  const page = await openStudio(browser, url + '?bench=1', { width: 960, height: 600 });
  const initial = await page.evaluate(() => ({ ...window.studio.stats, pieces: window.studio.pieces, groups: window.studio.groups }));
  result.pieces = initial.pieces;
  result.draw_groups = initial.groups;
  result.pieces_bytes = initial.bytes - initial.frameBytes;
  // Playback: one new frame per animation frame, as fast as the page draws and streams.
  const play = await page.evaluate(async (ms) => {
    const s = window.studio;
    const before = { ...s.stats };
    let shown = 0, last = s.frame;
    const startAt = performance.now();
    s.setPlaying(true);
    await new Promise((resolve) => {
      const watch = (now) => {
        if (s.frame !== last) { ++shown; last = s.frame; }
        if (now - startAt < ms) requestAnimationFrame(watch); else resolve();
      };
      requestAnimationFrame(watch);
    });
    s.setPlaying(false);
    const elapsed = performance.now() - startAt;
    return { fps: (shown * 1000) / elapsed, shown, bytes: s.stats.frameBytes - before.frameBytes,
             fetched: s.stats.framesFetched - before.framesFetched };
  }, Number(seconds) * 1000);
  const drawOnly = await page.evaluate((ms) => window.studio.measureDraw(ms), 3000);
  const meshPerFrame = result.pieces_bytes + play.bytes / Math.max(1, play.fetched);
  finish({
    playback_fps: Number(play.fps.toFixed(1)),
    frames_shown: play.shown,
    frames_fetched: play.fetched,
    bytes_per_frame: Math.round(play.bytes / Math.max(1, play.fetched)),
    baseline_draw_only_fps: Number(drawOnly.toFixed(1)),
    fps_ratio: Number((play.fps / drawOnly).toFixed(2)),
    baseline_meshes_per_frame_bytes: Math.round(meshPerFrame),
    bytes_ratio: Number((play.bytes / Math.max(1, play.fetched) / meshPerFrame).toFixed(3)),
    aim: '30 fps, < 50 KB per frame',
  });
} catch (e) {
  finish({ error: String(e.message || e) });
  process.exitCode = 1;
} finally {
  if (browser) await browser.close();
  studio.removeAllListeners('exit');
  studio.kill('SIGTERM');
}
