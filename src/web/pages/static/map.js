// Draws the sites on a Leaflet map from the JSON in #map-data: one circle
// marker per site, coloured by its speeders per day, with a link to the
// site in its popup. Without tiles (none set, or none loading) the markers
// stand on the map's plain background.
(function () {
    "use strict";

    var colours = ["#9e9e9e", "#2e7d32", "#f9a825", "#ef6c00", "#c62828"];

    function popup(site) {
        var box = document.createElement("div");
        var link = document.createElement("a");
        link.href = site.href;
        link.textContent = site.title;
        box.appendChild(link);
        var figure = document.createElement("div");
        figure.textContent = site.speedersPerDay === null ? "No count of speeders per day"
            : "Speeders per day: " + site.speedersPerDay.toFixed(1);
        box.appendChild(figure);
        return box;
    }

    document.addEventListener("DOMContentLoaded", function () {
        var data = document.getElementById("map-data");
        var element = document.getElementById("map");
        if (!data || !element || typeof L === "undefined")
            return;
        var content = JSON.parse(data.textContent);
        var map = L.map(element);
        if (content.tiles)
            L.tileLayer(content.tiles, { maxZoom: 19, attribution: "Map data \u00a9 OpenStreetMap contributors" }).addTo(map);
        var bounds = [];
        content.sites.forEach(function (site) {
            var colour = colours[site.level] || colours[0];
            L.circleMarker([site.latitude, site.longitude], {
                radius: 8, color: "#222", weight: 1, fillColor: colour, fillOpacity: 0.9
            }).bindPopup(popup(site)).addTo(map);
            bounds.push([site.latitude, site.longitude]);
        });
        if (bounds.length === 1)
            map.setView(bounds[0], 15);
        else
            map.fitBounds(bounds, { padding: [24, 24], maxZoom: 16 });
    });
})();
