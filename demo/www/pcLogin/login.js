// The login page's side of the app link protocol: after the
// server has answered the login with its cookies, the page hands the game
// address to the launcher by navigating to "app://loadgame|<address>".
// Two ways lead there, as on real platforms and for the launcher's tests:
//   - the login form: a script assignment to window.location.href;
//   - a demo account: the page signs in, then shows an <a href> link that
//     the player clicks.
(function () {
    'use strict';

    var form = document.getElementById('login-form');
    var username = document.getElementById('username');
    var loginButton = document.getElementById('login-button');
    var message = document.getElementById('message');
    var loginView = document.getElementById('login-view');
    var readyView = document.getElementById('ready-view');
    var readyAccount = document.getElementById('ready-account');
    var readyAvatar = document.getElementById('ready-avatar');
    var enterLink = document.getElementById('enter-link');
    var accountButtons = document.querySelectorAll('#demo-accounts .account');

    function showMessage(text, notice) {
        message.textContent = text || '';
        message.classList.toggle('notice', !!notice);
    }

    function setBusy(busy) {
        loginButton.disabled = busy;
        loginButton.textContent = busy ? '正在登录…' : '登\u00a0录';
        accountButtons.forEach(function (button) { button.disabled = busy; });
    }

    // Resolves with {account, game} once the server has set both cookies
    // (the session cookie and the persistent one) with its answer.
    function signIn(name) {
        var body = new URLSearchParams();
        body.set('username', name);
        return fetch('/pcLogin/login', {
            method: 'POST',
            body: body,
            credentials: 'same-origin',
            cache: 'no-store'
        }).then(function (response) {
            return response.json().catch(function () { return {}; }).then(function (data) {
                if (!response.ok || !data.game)
                    throw new Error(data.error || '登录失败，请稍后再试');
                return data;
            });
        }, function () {
            throw new Error('未能连接到服务器');
        });
    }

    form.addEventListener('submit', function (event) {
        event.preventDefault();
        var name = username.value.trim();
        if (!name) {
            showMessage('请输入账号');
            username.focus();
            return;
        }
        showMessage('');
        setBusy(true);
        signIn(name).then(function (data) {
            window.location.href = 'app://loadgame|' + data.game;
        }, function (error) {
            showMessage(error.message);
        }).then(function () {
            setBusy(false);
        });
    });

    function showReady(data) {
        readyAccount.textContent = data.account;
        readyAvatar.textContent = Array.from(data.account)[0].toUpperCase();
        enterLink.setAttribute('href', 'app://loadgame|' + data.game);
        loginView.hidden = true;
        readyView.hidden = false;
        enterLink.focus();
    }

    accountButtons.forEach(function (button) {
        button.addEventListener('click', function () {
            var name = button.getAttribute('data-account');
            username.value = name;
            showMessage('');
            setBusy(true);
            signIn(name).then(showReady, function (error) {
                showMessage(error.message);
            }).then(function () {
                setBusy(false);
            });
        });
    });

    document.getElementById('switch-account').addEventListener('click', function () {
        readyView.hidden = true;
        loginView.hidden = false;
        username.select();
        username.focus();
    });

    document.querySelectorAll('[data-notice]').forEach(function (button) {
        button.addEventListener('click', function () {
            showMessage(button.getAttribute('data-notice'), true);
        });
    });
})();
