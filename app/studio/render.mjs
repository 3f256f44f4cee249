// `quarix render`: frames of the studio page into one contact sheet.
//   node render.mjs URL FRAMES(0,25,50) OUT.png [WIDTHxHEIGHT]
import { writeFileSync } from 'node:fs';
import { launch, openStudio } from './browser.mjs';

const [url, frameList, out, size = '640x400'] = process.argv.slice(2);
if (!url || !frameList || !out) {
  console.error('usage: node render.mjs URL FRAMES OUT.png [WIDTHxHEIGHT]');
  process.exit(2);
}
const [width, height] = size.split('x').map(Number);
const frames = frameList.split(',').map(Number);

const pageUrl = new URL(url);
pageUrl.searchParams.set('view', 'only');

const browser = await launch();
try {
  const page = await openStudio(browser, pageUrl.href, { width, height });
  const shots = [];
  for (const frame of frames) {
    await page.evaluate((f) => window.studio.showFrame(f), frame);
    await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
    const shown = await page.evaluate(() => window.studio.frame);
    if (shown !== frame) throw new Error(`frame ${frame} is outside the scene's range`);
    shots.push((await page.locator('#viewport').screenshot()).toString('base64'));
  }
  // The sheet is a page of its own: the shots in a grid, each with its frame number.
  const columns = Math.min(frames.length, 2);
  const sheet = await browser.newPage({ viewport: { width: columns * width, height: 100 } });
  await sheet.setContent(`<body style="margin:0;background:#111;font:14px sans-serif;color:#eee">
    <div style="display:grid;grid-template-columns:repeat(${columns},${width}px)">
    ${shots.map((s, i) => `<div style="position:relative"><img style="display:block" src="data:image/png;base64,${s}">
      <span style="position:absolute;left:8px;top:6px">frame ${frames[i]}</span></div>`).join('')}
    </div></body>`);
  writeFileSync(out, await sheet.screenshot({ fullPage: true }));
} finally {
  await browser.close();
}
