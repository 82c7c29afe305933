// 摘星 (star catcher): the demo platform's game. Keeps the page title equal
// to "<account> - ..." with the score, so the launcher's tab follows the game.
// ?autoplay=1 plays by itself (for tests that need a title that keeps changing).
// ?pace=1 counts the page's 100 ms timer ticks and its animation frames and
// reports them, with the score and the times the page was told it is hidden,
// to /game/<account>/pace once a second, so a test can tell a page that runs
// at full pace from one the browser holds back.
(function () {
    'use strict';

    var account = document.body.getAttribute('data-account') || '玩家';
    var autoplay = new URLSearchParams(window.location.search).get('autoplay') === '1';

    var canvas = document.getElementById('game');
    var ctx = canvas.getContext('2d');
    var W = canvas.width;
    var H = canvas.height;
    var scoreText = document.getElementById('score');
    var bestText = document.getElementById('best');
    var missesText = document.getElementById('misses');

    var MAX_MISSES = 5;
    var BASKET_Y = H - 34;

    var state = 'ready'; // ready | playing | paused | over
    var score = 0;
    var best = 0;
    var misses = 0;
    var stars = [];
    var sparks = [];
    var frame = 0;
    var nextSpawn = 0;
    var basket = { x: W / 2, w: 96, h: 14 };
    var keys = { left: false, right: false };
    var pointerX = null;
    var overSince = 0;

    var sky = [];
    for (var i = 0; i < 70; i++)
        sky.push({ x: Math.random() * W, y: Math.random() * H, r: Math.random() * 1.3 + 0.3, t: Math.random() * 6 });

    function setTitle() {
        var text;
        if (state === 'over')
            text = account + ' - 结束 ' + score;
        else if (state === 'ready' && score === 0)
            text = account + ' - 摘星';
        else
            text = account + ' - 得分 ' + score;
        if (document.title !== text)
            document.title = text;
    }

    function updatePanel() {
        scoreText.textContent = score;
        bestText.textContent = best;
        missesText.textContent = misses;
        setTitle();
    }

    function start() {
        score = 0;
        misses = 0;
        stars = [];
        sparks = [];
        nextSpawn = frame + 20;
        state = 'playing';
        updatePanel();
    }

    function toggle() {
        if (state === 'playing')
            state = 'paused';
        else if (state === 'paused')
            state = 'playing';
        else
            start();
        setTitle();
    }

    function spawn() {
        var gem = Math.random() < 0.15;
        stars.push({
            x: 20 + Math.random() * (W - 40),
            y: -12,
            vy: 1.6 + Math.random() * 1.2 + Math.min(score, 60) * 0.035,
            r: gem ? 8 : 10,
            gem: gem,
            spin: Math.random() * Math.PI
        });
        nextSpawn = frame + Math.max(18, 55 - score) + Math.floor(Math.random() * 20);
    }

    function burst(x, y, color) {
        for (var k = 0; k < 10; k++) {
            var a = Math.random() * Math.PI * 2;
            var v = 1 + Math.random() * 2.5;
            sparks.push({ x: x, y: y, vx: Math.cos(a) * v, vy: Math.sin(a) * v - 1, life: 24, color: color });
        }
    }

    function steer() {
        if (autoplay) {
            var target = null;
            stars.forEach(function (s) { if (!target || s.y > target.y) target = s; });
            if (target)
                pointerX = target.x;
        }
        if (keys.left || keys.right) {
            pointerX = null;
            basket.x += (keys.right ? 7 : 0) - (keys.left ? 7 : 0);
        } else if (pointerX !== null) {
            basket.x += Math.max(-9, Math.min(9, pointerX - basket.x));
        }
        basket.x = Math.max(basket.w / 2 + 4, Math.min(W - basket.w / 2 - 4, basket.x));
    }

    function update() {
        frame++;
        sparks = sparks.filter(function (p) {
            p.x += p.vx;
            p.y += p.vy;
            p.vy += 0.08;
            return --p.life > 0;
        });
        if (state === 'over' && autoplay && frame - overSince > 120)
            start();
        if (state !== 'playing')
            return;
        steer();
        if (frame >= nextSpawn)
            spawn();
        var changed = false;
        stars = stars.filter(function (s) {
            s.y += s.vy;
            s.spin += 0.04;
            if (s.y + s.r >= BASKET_Y && s.y - s.r <= BASKET_Y + basket.h
                && Math.abs(s.x - basket.x) <= basket.w / 2 + s.r / 2) {
                score += s.gem ? 3 : 1;
                best = Math.max(best, score);
                burst(s.x, BASKET_Y, s.gem ? '#7fd4ff' : '#ffd34d');
                changed = true;
                return false;
            }
            if (s.y - s.r > H) {
                misses++;
                changed = true;
                return false;
            }
            return true;
        });
        if (misses >= MAX_MISSES) {
            state = 'over';
            overSince = frame;
        }
        if (changed)
            updatePanel();
    }

    function starPath(x, y, r, spin) {
        ctx.beginPath();
        for (var k = 0; k < 10; k++) {
            var a = spin + k * Math.PI / 5 - Math.PI / 2;
            var d = k % 2 ? r * 0.45 : r;
            ctx.lineTo(x + Math.cos(a) * d, y + Math.sin(a) * d);
        }
        ctx.closePath();
    }

    function drawOverlay(title, subtitle) {
        ctx.fillStyle = 'rgba(5, 16, 40, 0.55)';
        ctx.fillRect(0, 0, W, H);
        ctx.textAlign = 'center';
        ctx.fillStyle = '#ffffff';
        ctx.font = 'bold 30px "Microsoft YaHei", "Noto Sans CJK SC", sans-serif';
        ctx.fillText(title, W / 2, H / 2 - 8);
        ctx.font = '15px "Microsoft YaHei", "Noto Sans CJK SC", sans-serif';
        ctx.fillStyle = '#cfe0ff';
        ctx.fillText(subtitle, W / 2, H / 2 + 24);
    }

    function draw() {
        var g = ctx.createLinearGradient(0, 0, 0, H);
        g.addColorStop(0, '#081a40');
        g.addColorStop(1, '#1a4a9e');
        ctx.fillStyle = g;
        ctx.fillRect(0, 0, W, H);

        sky.forEach(function (s) {
            ctx.globalAlpha = 0.45 + 0.4 * Math.sin(s.t + frame / 40);
            ctx.fillStyle = '#ffffff';
            ctx.fillRect(s.x, s.y, s.r, s.r);
        });
        ctx.globalAlpha = 1;

        stars.forEach(function (s) {
            ctx.shadowColor = s.gem ? '#7fd4ff' : '#ffd34d';
            ctx.shadowBlur = 12;
            ctx.fillStyle = s.gem ? '#8fdcff' : '#ffd34d';
            starPath(s.x, s.y, s.r, s.spin);
            ctx.fill();
        });
        ctx.shadowBlur = 0;

        sparks.forEach(function (p) {
            ctx.globalAlpha = p.life / 24;
            ctx.fillStyle = p.color;
            ctx.fillRect(p.x - 1.5, p.y - 1.5, 3, 3);
        });
        ctx.globalAlpha = 1;

        var left = basket.x - basket.w / 2;
        ctx.fillStyle = '#2f7ff0';
        ctx.fillRect(left, BASKET_Y, basket.w, basket.h);
        ctx.fillStyle = '#9cc4ff';
        ctx.fillRect(left, BASKET_Y, basket.w, 3);
        ctx.fillRect(left - 4, BASKET_Y - 8, 4, basket.h + 8);
        ctx.fillRect(left + basket.w, BASKET_Y - 8, 4, basket.h + 8);

        ctx.textAlign = 'left';
        ctx.fillStyle = '#ffffff';
        ctx.font = '15px "Microsoft YaHei", "Noto Sans CJK SC", sans-serif';
        ctx.fillText(account + '  得分 ' + score, 14, 26);
        for (var m = 0; m < MAX_MISSES; m++) {
            ctx.fillStyle = m < MAX_MISSES - misses ? '#ffd34d' : 'rgba(255, 255, 255, 0.2)';
            starPath(W - 20 - m * 20, 20, 7, 0);
            ctx.fill();
        }

        if (state === 'ready')
            drawOverlay('摘星', '点击或按空格开始 · ← → 移动');
        else if (state === 'paused')
            drawOverlay('暂停', '按空格继续');
        else if (state === 'over')
            drawOverlay('游戏结束  ' + score + ' 分', '点击或按空格再来一局');
    }

    // A timer rather than animation frames, and steps counted from the clock:
    // while its tab is hidden the engine runs the timer about once a second,
    // and the game, with the title, still keeps its pace.
    var STEP_MS = 1000 / 60;
    var lastTick = performance.now();
    window.setInterval(function () {
        var now = performance.now();
        var steps = Math.min(120, Math.floor((now - lastTick) / STEP_MS));
        lastTick += steps * STEP_MS;
        if (now - lastTick > 1000)
            lastTick = now; // after a long stall, do not try to catch up
        for (var k = 0; k < steps; k++)
            update();
        if (steps > 0)
            draw();
    }, STEP_MS);

    window.addEventListener('keydown', function (event) {
        var key = event.key;
        if (key === 'ArrowLeft' || key === 'a' || key === 'A')
            keys.left = true;
        else if (key === 'ArrowRight' || key === 'd' || key === 'D')
            keys.right = true;
        else if (key === ' ' || key === 'Spacebar')
            toggle();
        else
            return;
        event.preventDefault();
    });
    window.addEventListener('keyup', function (event) {
        var key = event.key;
        if (key === 'ArrowLeft' || key === 'a' || key === 'A')
            keys.left = false;
        else if (key === 'ArrowRight' || key === 'd' || key === 'D')
            keys.right = false;
    });
    canvas.addEventListener('mousemove', function (event) {
        var box = canvas.getBoundingClientRect();
        pointerX = (event.clientX - box.left) * W / box.width;
    });
    canvas.addEventListener('mousedown', function (event) {
        canvas.focus();
        if (event.button === 0 && state !== 'playing')
            toggle();
    });

    if (new URLSearchParams(window.location.search).get('pace') === '1') {
        var ticks = 0;
        var frames = 0;
        var hides = 0; // times the page was told it is hidden
        document.addEventListener('visibilitychange', function () {
            if (document.visibilityState === 'hidden')
                hides++;
        });
        window.setInterval(function () { ticks++; }, 100);
        var countFrame = function () {
            frames++;
            window.requestAnimationFrame(countFrame);
        };
        window.requestAnimationFrame(countFrame);
        window.setInterval(function () {
            var report = '/game/' + encodeURIComponent(account) + '/pace?ticks=' + ticks
                + '&frames=' + frames + '&score=' + score + '&visibility=' + document.visibilityState
                + '&hides=' + hides;
            ticks = 0;
            frames = 0;
            fetch(report, { cache: 'no-store' }).catch(function () {});
        }, 1000);
    }

    if (autoplay)
        start();
    canvas.focus();
    updatePanel();
})();
