// Sorts a table with class "sortable" by the column whose title is
// clicked; a second click reverses the order. Numbers (with thousands
// separators) and dates (MM/DD/YYYY or MM/DD/YY) sort by value, "-" last.
// Also opens the folded tables for printing.
(function () {
    "use strict";

    function key(text) {
        var t = text.trim();
        var date = /^(\d{2})\/(\d{2})\/(\d{2}|\d{4})(?:\s+(\d{2}):(\d{2}))?$/.exec(t);
        if (date) {
            var year = date[3].length === 2 ? 2000 + Number(date[3]) : Number(date[3]);
            return [0, ((year * 100 + Number(date[1])) * 100 + Number(date[2])) * 10000 +
                (date[4] ? Number(date[4]) * 100 + Number(date[5]) : 0)];
        }
        var number = t.replace(/,/g, "").replace(/\s*%$/, "");
        if (number !== "" && !isNaN(Number(number)))
            return [0, Number(number)];
        if (t === "" || t === "-")
            return [2, 0];
        return [1, t.toLowerCase()];
    }

    function compare(a, b) {
        if (a[0] !== b[0])
            return a[0] - b[0];
        return a[1] < b[1] ? -1 : a[1] > b[1] ? 1 : 0;
    }

    function sortBy(table, header) {
        var index = Array.prototype.indexOf.call(header.parentNode.children, header);
        var ascending = header.getAttribute("aria-sort") !== "ascending";
        Array.prototype.forEach.call(header.parentNode.children, function (th) { th.removeAttribute("aria-sort"); });
        header.setAttribute("aria-sort", ascending ? "ascending" : "descending");
        var body = table.tBodies[0];
        var rows = Array.prototype.slice.call(body.rows).map(function (row, position) {
            var cell = row.cells[index];
            return { row: row, key: key(cell ? cell.textContent : ""), position: position };
        });
        rows.sort(function (a, b) {
            var order = compare(a.key, b.key);
            if (order !== 0 && a.key[0] !== 2 && b.key[0] !== 2)
                order = ascending ? order : -order;
            return order !== 0 ? order : a.position - b.position;
        });
        rows.forEach(function (entry) { body.appendChild(entry.row); });
    }

    // Tables folded away on screen are printed whole.
    window.addEventListener("beforeprint", function () {
        document.querySelectorAll("details:not([open])").forEach(function (details) {
            details.setAttribute("open", "");
            details.dataset.printOpened = "1";
        });
    });
    window.addEventListener("afterprint", function () {
        document.querySelectorAll("details[data-print-opened]").forEach(function (details) {
            details.removeAttribute("open");
            delete details.dataset.printOpened;
        });
    });

    document.addEventListener("DOMContentLoaded", function () {
        document.querySelectorAll("table.sortable").forEach(function (table) {
            if (!table.tHead || !table.tBodies.length)
                return;
            Array.prototype.forEach.call(table.tHead.rows[0].cells, function (header) {
                header.tabIndex = 0;
                header.title = "Sort by this column";
                header.addEventListener("click", function () { sortBy(table, header); });
                header.addEventListener("keydown", function (event) {
                    if (event.key === "Enter" || event.key === " ") {
                        event.preventDefault();
                        sortBy(table, header);
                    }
                });
            });
        });
    });
})();
