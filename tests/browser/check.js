// Injected into a copy of a report: once the page is laid out, checks every
// drawing and writes the verdict into the page, where --dump-dom shows it:
// "height=N" (the page's height in pixels), then one line per problem.
(function () {
  'use strict';
  var slack = 1;  // pixels two boxes may share or a text may stick out
  var problems = [];

  function textOf(element) {
    return element.textContent.replace(/\s+/g, ' ').trim();
  }

  function where(svg) {
    var figure = svg.closest('figure');
    return 'graph ' + (figure ? figure.id : '?');
  }

  function overlap(a, b) {
    return Math.min(a.right, b.right) - Math.max(a.left, b.left) > slack &&
           Math.min(a.bottom, b.bottom) - Math.max(a.top, b.top) > slack;
  }

  function inside(a, b) {
    return a.left >= b.left - slack && a.right <= b.right + slack &&
           a.top >= b.top - slack && a.bottom <= b.bottom + slack;
  }

  function checkTexts(svg) {
    var frame = svg.getBoundingClientRect();
    var texts = [];
    svg.querySelectorAll('text').forEach(function (text) {
      var box = text.getBoundingClientRect();
      if (textOf(text) === '' || box.width === 0 || box.height === 0) return;
      if (!inside(box, frame)) {
        problems.push(where(svg) + ': text "' + textOf(text) + '" is outside its drawing');
      }
      texts.push({text: textOf(text), box: box});
    });
    for (var i = 0; i < texts.length; ++i) {
      for (var j = i + 1; j < texts.length; ++j) {
        if (overlap(texts[i].box, texts[j].box)) {
          problems.push(where(svg) + ': texts "' + texts[i].text + '" and "' + texts[j].text +
                        '" overlap');
        }
      }
    }
  }

  function checkDrawing(svg) {
    var frame = svg.getBoundingClientRect();
    var content = svg.getBBox();
    if (!(frame.width > 0 && frame.height > 0 && content.width > 0 && content.height > 0)) {
      problems.push(where(svg) + ': the drawing has an empty bounding box');
      return;
    }
    checkTexts(svg);
  }

  window.addEventListener('load', function () {
    document.querySelectorAll('svg:not(svg svg)').forEach(checkDrawing);
    var verdict = document.createElement('pre');
    verdict.id = 'vyn-verdict';
    verdict.textContent = ['height=' + document.documentElement.scrollHeight]
                              .concat(problems).join('\n');
    document.body.appendChild(verdict);
  });
})();
