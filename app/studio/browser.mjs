// Headless Chromium for the studio's renders, tests and benchmark: Debian's
// chromium-headless-shell (or chromium, or $CHROME) driven by playwright-core from this folder's
// node_modules (scripts/setup installs it).
import { existsSync } from 'node:fs';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);

/** The browser executable, or null when none is installed. */
export function findChrome() {
  if (process.env.CHROME) return process.env.CHROME;
  for (const name of ['chromium-headless-shell', 'chromium']) {
    for (const dir of (process.env.PATH || '').split(':')) {
      if (dir && existsSync(`${dir}/${name}`)) return `${dir}/${name}`;
    }
  }
  return null;
}

/** A launched browser; throws with a clear message when Chromium or playwright-core is missing. */
export async function launch() {
  const executablePath = findChrome();
  if (!executablePath) throw new Error('no Chromium: install chromium-headless-shell (scripts/setup)');
  const { chromium } = require('playwright-core');
  // Software GL: there is no GPU in CI.
  return chromium.launch({
    executablePath,
    args: ['--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--ignore-gpu-blocklist'],
  });
}

/** Opens the studio page at `url` and waits until its scene is drawn. */
export async function openStudio(browser, url, { width = 960, height = 600 } = {}) {
  const page = await browser.newPage({ viewport: { width, height } });
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(url);
  await page.waitForFunction(() => window.studio && window.studio.ready, null, { timeout: 30000 });
  page.studioErrors = errors;
  return page;
}
